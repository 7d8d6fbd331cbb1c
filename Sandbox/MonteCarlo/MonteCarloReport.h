#pragma once
// MonteCarloReport is the outcome of a run of independent sandbox sessions: how many, the seed of
// the first (session i plays seed + i), the simulated time of each, and their statistics added
// up. MonteCarloTables renders it.
// A plain value.

#include <cstdint>

#include "QVRAdKit/Platform/Date.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

struct MonteCarloReport {
  std::uint64_t sessions = 0;
  std::uint64_t firstSeed = 0;
  // Seconds of simulated time per session.
  Platform::TimeInterval sessionSeconds = 0;
  SessionStatistics totals;
  // Stopped on request before every session asked for had run: sessions counts those played.
  bool stopped = false;

  bool operator==(const MonteCarloReport&) const = default;
};

}  // namespace QVRAdKit::Sandbox
