#pragma once
// SessionPlayer plays sessions of one configuration one after another, each with its own seed,
// and gives each session's statistics, the host's moments (opportunities, shows, rewards)
// included. What depends only on the configuration (the host's options, the simulated networks'
// settings and the statistics sink with its placement look-up) is made once and reused: a Monte
// Carlo job makes one player per configuration. Each session starts from clean counters, so a
// session plays and counts the same as on a player of its own. Example:
//   SessionPlayer player(configuration, 7200, false);
//   for (std::uint64_t seed = 1; seed <= 100; ++seed) totals.merge(*player.play(seed));
// Threading: one thread at a time.

#include <cstdint>
#include <memory>

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Sandbox/Host/SandboxHostOptions.h"
#include "Sandbox/Host/SandboxHostSummary.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"
#include "Sandbox/MonteCarlo/StatisticsReporting.h"

namespace QVRAdKit::Sandbox {

class SessionPlayer {
 public:
  SessionPlayer(const SandboxConfiguration& configuration, Platform::TimeInterval duration,
                bool premium);

  // Plays the session of seed: its statistics, or the error that kept it from running.
  [[nodiscard]] Platform::Expected<SessionStatistics> play(std::uint64_t seed);

 private:
  // Adds the host's side of the session just played.
  void addHostMoments(const SandboxHostSummary& summary);

  std::shared_ptr<StatisticsReporting> statistics_;
  SandboxHostOptions options_;
};

}  // namespace QVRAdKit::Sandbox
