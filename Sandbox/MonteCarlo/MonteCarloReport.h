#pragma once
// MonteCarloReport is the outcome of a run of independent sandbox sessions: how many, the seed of
// the first (session i plays seed + i), the simulated time of each, their statistics added up and
// the sums of their per-session quantities (for means and intervals). With a candidate
// configuration it also holds the paired comparison of the two; totals and perSession are then
// the first configuration's. MonteCarloTables and ComparisonTables render it.
// A plain value.

#include <cstdint>
#include <optional>

#include "QVRAdKit/Platform/Date.h"
#include "Sandbox/MonteCarlo/PairedComparison.h"
#include "Sandbox/MonteCarlo/SessionMoments.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

struct MonteCarloReport {
  std::uint64_t sessions = 0;
  std::uint64_t firstSeed = 0;
  // Seconds of simulated time per session.
  Platform::TimeInterval sessionSeconds = 0;
  SessionStatistics totals;
  SessionMoments perSession;
  std::optional<PairedComparison> comparison;
  // Stopped on request before every session asked for had run: sessions counts those played.
  bool stopped = false;

  bool operator==(const MonteCarloReport&) const = default;
};

}  // namespace QVRAdKit::Sandbox
