#pragma once
// ConfidenceIntervals computes the 95% intervals the Monte Carlo tables print:
// - wilson(): the Wilson score interval of a proportion, successes out of trials, each trial
//   counted as an independent draw. It stays inside [0, 1] and is sound at 0 and at 100%, where
//   the normal approximation collapses to a point.
// - normal(): value +- z * standard error, for means per session and paired differences
//   (SessionMoments, PairedComparison).
// Threading: pure functions.

#include <cstdint>
#include <optional>

#include "Sandbox/MonteCarlo/Interval.h"

namespace QVRAdKit::Sandbox {

class ConfidenceIntervals {
 public:
  // None without trials.
  [[nodiscard]] static std::optional<Interval> wilson(std::uint64_t successes,
                                                      std::uint64_t trials);
  // The normal interval value +- kZ95 * sqrt(variance), none for a negative or not finite
  // variance; variance of 0 (rounded) gives the point.
  [[nodiscard]] static std::optional<Interval> normal(double value, double variance);
};

}  // namespace QVRAdKit::Sandbox
