#pragma once
// ConfidenceIntervals computes the 95% intervals the Monte Carlo tables print:
// - wilson(): the Wilson score interval of a proportion, successes out of trials, each trial
//   counted as an independent draw. It stays inside [0, 1] and is sound at 0 and at 100%, where
//   the normal approximation collapses to a point.
// - mean(): the mean of one whole-number quantity per session, with the normal approximation
//   mean +- z * s / sqrt(n), s the sample standard deviation (n - 1 in the denominator). It needs
//   two sessions; with a spread of 0 the interval is the point.
// Sums are whole numbers (see MomentSums), so the same sessions give the same intervals, bit for
// bit, however they were merged.
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
  // sum and sumOfSquares of the quantity over n sessions; the value is none without sessions, the
  // interval none with fewer than two.
  [[nodiscard]] static std::optional<Estimate> mean(std::uint64_t sessions, double sum,
                                                    double sumOfSquares);
  // The normal interval value +- kZ95 * sqrt(variance), none for a negative or not finite
  // variance; variance of 0 (rounded) gives the point.
  [[nodiscard]] static std::optional<Interval> normal(double value, double variance);
};

}  // namespace QVRAdKit::Sandbox
