#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Sandbox/MonteCarlo/SessionPlayer.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kRunnerErrorDomain = "QVRAdKit.Sandbox.MonteCarlo";

// What one seed played: its session under the configuration, and under the candidate if any.
struct SeedResult {
  SessionStatistics a;
  std::optional<SessionStatistics> b;
};

// Plays one seed's session, or its pair of sessions, on the job's players.
Platform::Expected<SeedResult> playSeed(SessionPlayer& a, SessionPlayer* b, std::uint64_t seed) {
  auto played = a.play(seed);
  if (!played) return played.error();
  SeedResult result{std::move(played).value(), std::nullopt};
  if (b) {
    auto candidate = b->play(seed);
    if (!candidate) return candidate.error();
    result.b = std::move(candidate).value();
  }
  return result;
}

// Collects the sessions' results as they end, on any thread, and merges them in seed order.
class Aggregator {
 public:
  Aggregator(std::uint64_t total, std::function<void(std::uint64_t, std::uint64_t)> progress)
      : total_(total), progress_(std::move(progress)) {}

  void add(std::uint64_t index, Platform::Expected<SeedResult> result) {
    std::lock_guard lock(mutex_);
    if (!result) {
      if (!error_ || index < errorIndex_) {
        error_ = result.error();
        errorIndex_ = index;
      }
      failed_.store(true);
      return;
    }
    waiting_.emplace(index, std::move(result).value());
    for (auto next = waiting_.find(merged_); next != waiting_.end();
         next = waiting_.find(merged_)) {
      const SeedResult& seed = next->second;
      totals_.merge(seed.a);
      perSession_.add(seed.a);
      if (seed.b) {
        if (!comparison_) comparison_.emplace();
        comparison_->add(seed.a, *seed.b);
      }
      waiting_.erase(next);
      ++merged_;
    }
    ++done_;
    if (progress_) progress_(done_, total_);
  }

  [[nodiscard]] bool failed() const { return failed_.load(); }
  // How many sessions, from the first seed on without a gap, are in the totals.
  [[nodiscard]] std::uint64_t merged() {
    std::lock_guard lock(mutex_);
    return merged_;
  }
  [[nodiscard]] const std::optional<Platform::Error>& error() const { return error_; }
  [[nodiscard]] SessionStatistics& totals() { return totals_; }
  [[nodiscard]] SessionMoments& perSession() { return perSession_; }
  [[nodiscard]] std::optional<PairedComparison>& comparison() { return comparison_; }

 private:
  const std::uint64_t total_;
  const std::function<void(std::uint64_t, std::uint64_t)> progress_;
  std::mutex mutex_;
  std::map<std::uint64_t, SeedResult> waiting_;
  SessionStatistics totals_;
  SessionMoments perSession_;
  std::optional<PairedComparison> comparison_;
  std::uint64_t merged_ = 0;
  std::uint64_t done_ = 0;
  std::optional<Platform::Error> error_;
  std::uint64_t errorIndex_ = 0;
  std::atomic<bool> failed_{false};
};

}  // namespace

std::optional<std::string> MonteCarloRunner::problem(const Options& options) {
  if (options.sessions < 1 || options.sessions > kMaxSessions) {
    return "--sessions: must be from 1 to " + std::to_string(kMaxSessions) + ", found " +
           std::to_string(options.sessions);
  }
  if (options.jobs < 1 || options.jobs > kMaxJobs) {
    return "--jobs: must be from 1 to " + std::to_string(kMaxJobs) + ", found " +
           std::to_string(options.jobs);
  }
  return std::nullopt;
}

Platform::Expected<SessionStatistics> MonteCarloRunner::runSession(
    const SandboxConfiguration& configuration, std::uint64_t seed, Platform::TimeInterval duration,
    bool premium) {
  return SessionPlayer(configuration, duration, premium).play(seed);
}

Platform::Expected<MonteCarloReport> MonteCarloRunner::run(const Options& options) {
  if (auto reason = problem(options)) {
    return Platform::Error{kRunnerErrorDomain, 1, *reason};
  }
  Aggregator aggregator(options.sessions, options.progress);
  std::atomic<std::uint64_t> next{0};
  const auto stopping = [&options] { return options.stopRequested && options.stopRequested(); };
  // Each job plays its sessions on players of its own, made once for all of them.
  auto work = [&] {
    SessionPlayer a(options.configuration, options.duration, options.premium);
    std::optional<SessionPlayer> b;
    if (options.candidate) b.emplace(*options.candidate, options.duration, options.premium);
    for (std::uint64_t index = next++;
         index < options.sessions && !aggregator.failed() && !stopping(); index = next++) {
      aggregator.add(index, playSeed(a, b ? &*b : nullptr, options.firstSeed + index));
    }
  };
  const auto jobs = static_cast<unsigned>(std::min<std::uint64_t>(options.jobs, options.sessions));
  if (jobs <= 1) {
    work();
  } else {
    std::vector<std::jthread> threads;
    threads.reserve(jobs);
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(work);
  }
  if (aggregator.error()) return *aggregator.error();

  MonteCarloReport report;
  report.sessions = aggregator.merged();
  report.stopped = report.sessions < options.sessions;
  report.firstSeed = options.firstSeed;
  report.sessionSeconds = std::max(0.0, options.duration);
  report.totals = std::move(aggregator.totals());
  report.perSession = std::move(aggregator.perSession());
  report.comparison = std::move(aggregator.comparison());
  // A comparison that played no seed still says it is one.
  if (options.candidate && !report.comparison) report.comparison.emplace();
  return report;
}

}  // namespace QVRAdKit::Sandbox
