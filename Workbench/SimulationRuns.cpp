#include "Workbench/SimulationRuns.h"

#include <utility>
#include <vector>

namespace QVRAdKit::Workbench {

struct SimulationRuns::Run {
  std::uint64_t order = 0;
  std::atomic<std::uint64_t> done{0};
  std::uint64_t total = 0;
  bool comparison = false;
  std::atomic<bool> cancelRequested{false};
  std::atomic<bool> abandoned{false};
  std::atomic<Rep> lastWatched{0};
  // Guarded by SimulationRuns::mutex_.
  State state = State::running;
  std::optional<Sandbox::MonteCarloReport> report;
  std::string error;
  std::thread thread;
};

SimulationRuns::SimulationRuns(Limits limits, Clock clock)
    : limits_(limits), clock_(std::move(clock)) {}

SimulationRuns::~SimulationRuns() {
  stopAll();
}

const char* SimulationRuns::name(State state) {
  switch (state) {
    case State::running:
      return "running";
    case State::done:
      return "done";
    case State::cancelled:
      return "cancelled";
    case State::abandoned:
      return "abandoned";
    case State::failed:
      return "failed";
  }
  return "failed";
}

std::optional<std::string> SimulationRuns::start(Sandbox::MonteCarloRunner::Options options) {
  std::unique_lock lock(mutex_);
  std::size_t active = 0;
  for (const auto& [id, run] : runs_) active += run->state == State::running ? 1 : 0;
  if (stopping_ || active >= limits_.maxActive) return std::nullopt;

  auto run = std::make_shared<Run>();
  run->order = nextId_++;
  run->total = options.sessions;
  run->comparison = options.candidate.has_value();
  run->lastWatched = clock_().time_since_epoch().count();
  const std::string id = std::to_string(run->order);
  options.progress = [run](std::uint64_t done, std::uint64_t) { run->done = done; };
  // The run's thread holds the run; SimulationRuns joins that thread before it goes, so clock_
  // and limits_ outlive every call of this check.
  options.stopRequested = [run, this] {
    if (run->cancelRequested) return true;
    const Rep silence = clock_().time_since_epoch().count() - run->lastWatched;
    if (silence > limits_.abandonAfter.count()) run->abandoned = true;
    return run->abandoned.load();
  };
  run->thread = std::thread([this, run, options = std::move(options)] {
    auto report = Sandbox::MonteCarloRunner::run(options);
    const std::lock_guard guard(mutex_);
    if (!report) {
      run->state = State::failed;
      run->error = report.error().localizedDescription;
      return;
    }
    run->report = std::move(*report);
    if (!run->report->stopped) {
      run->state = State::done;
    } else {
      run->state = run->cancelRequested ? State::cancelled : State::abandoned;
    }
  });
  runs_.emplace(id, std::move(run));
  forgetOldRuns(lock, id);
  return id;
}

std::string SimulationRuns::add(Sandbox::MonteCarloReport report, std::uint64_t total) {
  std::unique_lock lock(mutex_);
  auto run = std::make_shared<Run>();
  run->order = nextId_++;
  run->done = report.sessions;
  run->total = total;
  run->comparison = report.comparison.has_value();
  run->state = State::done;
  run->report = std::move(report);
  std::string id = std::to_string(run->order);
  runs_.emplace(id, std::move(run));
  forgetOldRuns(lock, id);
  return id;
}

void SimulationRuns::forgetOldRuns(std::unique_lock<std::mutex>& lock, const std::string& newest) {
  std::vector<std::thread> ended;
  std::size_t kept = runs_.size();
  while (kept > limits_.maxKept) {
    auto oldest = runs_.end();
    for (auto it = runs_.begin(); it != runs_.end(); ++it) {
      if (it->second->state == State::running || it->first == newest) continue;
      if (oldest == runs_.end() || it->second->order < oldest->second->order) oldest = it;
    }
    if (oldest == runs_.end()) break;
    ended.push_back(std::move(oldest->second->thread));
    runs_.erase(oldest);
    --kept;
  }
  // An ended run's thread may still be returning from its last step, which takes the lock.
  lock.unlock();
  for (auto& thread : ended) {
    if (thread.joinable()) thread.join();
  }
  lock.lock();
}

std::optional<SimulationRuns::Status> SimulationRuns::status(const std::string& id) {
  const std::lock_guard lock(mutex_);
  const auto found = runs_.find(id);
  if (found == runs_.end()) return std::nullopt;
  const Run& run = *found->second;
  found->second->lastWatched = clock_().time_since_epoch().count();
  return Status{run.state, run.done.load(), run.total, run.comparison, run.report, run.error};
}

bool SimulationRuns::cancel(const std::string& id) {
  const std::lock_guard lock(mutex_);
  const auto found = runs_.find(id);
  if (found == runs_.end()) return false;
  found->second->cancelRequested = true;
  return true;
}

void SimulationRuns::stopAll() {
  std::vector<std::thread> threads;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& [id, run] : runs_) {
      run->cancelRequested = true;
      threads.push_back(std::move(run->thread));
    }
  }
  for (auto& thread : threads) {
    if (thread.joinable()) thread.join();
  }
}

}  // namespace QVRAdKit::Workbench
