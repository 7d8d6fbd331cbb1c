#pragma once
// ConfidenceIntervals computes the 95% intervals the Monte Carlo tables print:
// - wilson(): the Wilson score interval of a proportion, successes out of trials, each trial
//   counted as an independent draw. It stays inside [0, 1] and is sound at 0 and at 100%, where
//   the normal approximation collapses to a point. The trials may be an effective number (a
//   count scaled by a design effect), so it is defined on real numbers too.
// - meanOf(): value +- t * standard error, for means per session and paired differences
//   (SessionMoments, PairedComparison), t the two-sided 95% quantile of Student's t with
//   sessions - 1 degrees of freedom: wider than the normal quantile for few sessions, where the
//   standard deviation is itself uncertain.
// - sameCountBound(): how far the mean of n sessions that all counted the same may be from that
//   count, for the sessions that would have differed but were not seen.
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
  // rate in [0, 1] over trials > 0 effective trials; none otherwise.
  [[nodiscard]] static std::optional<Interval> wilsonOfEffectiveTrials(double rate, double trials);
  // The two-sided 95% quantile of Student's t with sessions - 1 degrees of freedom (sessions >= 2).
  [[nodiscard]] static double studentT95(std::uint64_t sessions);
  // value +- studentT95(sessions) * sqrt(varianceOfMean); none with fewer than
  // kMinSessionsForSpread sessions, or a negative or not finite variance.
  [[nodiscard]] static std::optional<Interval> meanOf(double value, double varianceOfMean,
                                                      std::uint64_t sessions);
  // 1 - 0.025^(1/n): the exact (Clopper-Pearson) 95% upper bound of the share of sessions that
  // differ from a count when none of n sessions did. Each such session differs by one at least,
  // so a mean of n equal counts c is known no better than c +- this bound.
  [[nodiscard]] static double sameCountBound(std::uint64_t sessions);
};

}  // namespace QVRAdKit::Sandbox
