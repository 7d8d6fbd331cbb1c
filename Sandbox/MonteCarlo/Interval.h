#pragma once
// Interval is a two-sided 95% confidence interval [low, high]; Estimate is a value with its
// interval, none where the data cannot give one (too few sessions, no denominator).
// kZ95 is the two-sided 95% quantile of the standard normal distribution (Wilson intervals);
// means and differences over sessions use Student's t instead (ConfidenceIntervals::meanOf).
// kMinSessionsForSpread: below it, the spread of a few sessions' counts says too little (two
// sessions alike give a standard deviation of 0), so means and differences get no interval.
// Plain values.

#include <cstdint>
#include <optional>

namespace QVRAdKit::Sandbox {

inline constexpr double kZ95 = 1.959963984540054;
inline constexpr std::uint64_t kMinSessionsForSpread = 10;

struct Interval {
  double low = 0;
  double high = 0;
  bool operator==(const Interval&) const = default;
};

struct Estimate {
  double value = 0;
  std::optional<Interval> interval;
  bool operator==(const Estimate&) const = default;
};

}  // namespace QVRAdKit::Sandbox
