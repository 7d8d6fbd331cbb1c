#pragma once
// MonteCarloRunner plays many independent sandbox sessions (seeds S, S+1, ...) and adds up what
// the module reported in each: requests, fills, load durations, and the host's opportunities,
// shows and rewards per placement and per network. Each session has its own environment, clock,
// simulated networks and in-memory storage, and writes no events file: its analytics go straight
// into a StatisticsReporting. With several jobs the sessions run on that many threads at once;
// their statistics are still added up in seed order, so the report is the same for any number of
// jobs. With a candidate configuration each seed plays both, and the report adds their paired
// comparison (PairedComparison).
// Example:
//   MonteCarloRunner::Options options;
//   options.sessions = 200;
//   options.jobs = 2;
//   auto report = MonteCarloRunner::run(options);
//   if (report) std::cout << MonteCarloTables::text(*report);
// Threading: run() blocks the calling thread until every session has ended; progress is called
// on the session threads, one call at a time.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Sandbox/MonteCarlo/MonteCarloReport.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

class MonteCarloRunner {
 public:
  // Bounds of a run: enough sessions for stable rates in minutes, and no more threads than a
  // large machine has cores.
  static constexpr std::uint64_t kMaxSessions = 100000;
  static constexpr unsigned kMaxJobs = 64;

  struct Options {
    SandboxConfiguration configuration = SandboxConfiguration::defaults();
    std::uint64_t firstSeed = 1;
    std::uint64_t sessions = 1;
    unsigned jobs = 1;
    // Seconds of simulated time per session.
    Platform::TimeInterval duration = 7200;
    bool premium = false;
    // When given, each seed also plays this configuration, and the report compares the two
    // paired by seed (MonteCarloReport::comparison).
    std::optional<SandboxConfiguration> candidate;
    // Told after each session how many have ended, out of how many.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Asked, from the session threads, before each session starts; true starts no more. The
    // report then covers the sessions that ended without a gap in seed order (S to S+k-1).
    std::function<bool()> stopRequested;
  };

  // Why options cannot run (one line naming the option and its bounds), or none.
  [[nodiscard]] static std::optional<std::string> problem(const Options& options);

  // Runs every session (or those before a stop); the error of the first session that could not
  // run, or of bad options.
  [[nodiscard]] static Platform::Expected<MonteCarloReport> run(const Options& options);

  // One session: its statistics, the host's moments included.
  [[nodiscard]] static Platform::Expected<SessionStatistics> runSession(
      const SandboxConfiguration& configuration, std::uint64_t seed,
      Platform::TimeInterval duration, bool premium);
};

}  // namespace QVRAdKit::Sandbox
