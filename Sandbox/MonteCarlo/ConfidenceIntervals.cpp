#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

#include <algorithm>
#include <cmath>

namespace QVRAdKit::Sandbox {

std::optional<Interval> ConfidenceIntervals::wilson(std::uint64_t successes, std::uint64_t trials) {
  if (trials == 0) return std::nullopt;
  const auto n = static_cast<double>(trials);
  const double p = static_cast<double>(std::min(successes, trials)) / n;
  const double z2 = kZ95 * kZ95;
  const double denominator = 1 + z2 / n;
  const double centre = (p + z2 / (2 * n)) / denominator;
  const double half = kZ95 / denominator * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
  return Interval{std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

std::optional<Interval> ConfidenceIntervals::normal(double value, double variance) {
  if (!std::isfinite(value) || !std::isfinite(variance) || variance < 0) return std::nullopt;
  const double half = kZ95 * std::sqrt(variance);
  return Interval{value - half, value + half};
}

}  // namespace QVRAdKit::Sandbox
