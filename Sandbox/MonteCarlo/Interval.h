#pragma once
// Interval is a two-sided 95% confidence interval [low, high]; Estimate is a value with its
// interval, none where the data cannot give one (fewer than two sessions, no denominator).
// The statistics of Monte Carlo runs use kZ95, the two-sided 95% quantile of the standard normal
// distribution.
// Plain values.

#include <cstdint>
#include <optional>

namespace QVRAdKit::Sandbox {

inline constexpr double kZ95 = 1.959963984540054;
// The fewest sessions (paired seeds) whose spread an interval is estimated from; fewer give none.
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
