#pragma once
// SimulationRuns are the workbench's Monte Carlo runs: each one plays its sessions on a thread of
// its own (with its own jobs) through MonteCarloRunner, while the page asks for its progress and
// may cancel it. At most Limits::maxActive run at once; another start is refused (the page says
// so) rather than queued. A cancelled run, and one whose page stopped asking for its progress for
// Limits::abandonAfter (a closed tab), stops before its next session; its report then covers the
// sessions that ended. Ended runs are kept for their results, the oldest forgotten beyond
// Limits::maxKept. A result made elsewhere (shards of a cluster run, merged) is kept as an ended
// run too, so that the same routes show and download it; it never counts as under way.
// Example:
//   SimulationRuns runs({});
//   auto id = runs.start(request);       // none: too many runs under way
//   auto status = runs.status(*id);      // progress, then the report
//   runs.cancel(*id);
// Threading: every member from any thread. The destructor cancels every run and waits for it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Sandbox/MonteCarlo/MonteCarloReport.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

namespace QVRAdKit::Workbench {

class SimulationRuns {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  struct Limits {
    // Two runs use the two cores of a small machine; a third would only slow both.
    std::size_t maxActive = 2;
    std::size_t maxKept = 16;
    // The page asks every few hundred milliseconds, but a browser may slow a hidden tab's timers
    // to one a minute: two minutes of silence is a closed page.
    std::chrono::steady_clock::duration abandonAfter = std::chrono::minutes(2);
  };

  enum class State { running, done, cancelled, abandoned, failed };

  struct Status {
    State state = State::running;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    // The run plays a candidate too: its report carries their paired comparison.
    bool comparison = false;
    // Once ended (not failed): what the ended sessions add up to.
    std::optional<Sandbox::MonteCarloReport> report;
    std::string error;
  };

  explicit SimulationRuns(Limits limits, Clock clock = std::chrono::steady_clock::now);
  ~SimulationRuns();
  SimulationRuns(const SimulationRuns&) = delete;
  SimulationRuns& operator=(const SimulationRuns&) = delete;

  // Starts a run of valid options (MonteCarloRunner::problem() is none); its id, or none when
  // maxActive runs are under way. The options' progress and stopRequested are replaced.
  [[nodiscard]] std::optional<std::string> start(Sandbox::MonteCarloRunner::Options options);
  // Keeps report, played elsewhere, as a run that has ended (done) out of total sessions asked
  // for; its id. It counts toward maxKept (the oldest ended runs go first), never toward
  // maxActive, so it is kept even while maxActive runs are under way.
  std::string add(Sandbox::MonteCarloReport report, std::uint64_t total);
  // The run's status, none for an unknown id; asking counts as the page still watching.
  [[nodiscard]] std::optional<Status> status(const std::string& id);
  // Asks the run to stop before its next session; false for an unknown id.
  bool cancel(const std::string& id);
  // Cancels every run and waits for each to end.
  void stopAll();

  [[nodiscard]] static const char* name(State state);

 private:
  struct Run;
  using Rep = std::chrono::steady_clock::duration::rep;

  // Forgets the oldest ended runs beyond maxKept; never newest, the one just added or started.
  void forgetOldRuns(std::unique_lock<std::mutex>& lock, const std::string& newest);

  Limits limits_;
  Clock clock_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Run>> runs_;
  std::uint64_t nextId_ = 1;
  bool stopping_ = false;
};

}  // namespace QVRAdKit::Workbench
