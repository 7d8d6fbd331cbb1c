#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>

namespace QVRAdKit::Sandbox {

std::optional<Interval> ConfidenceIntervals::wilson(std::uint64_t successes, std::uint64_t trials) {
  if (trials == 0) return std::nullopt;
  const auto n = static_cast<double>(trials);
  return wilsonOfEffectiveTrials(static_cast<double>(std::min(successes, trials)) / n, n);
}

std::optional<Interval> ConfidenceIntervals::wilsonOfEffectiveTrials(double rate, double trials) {
  if (!(trials > 0) || !std::isfinite(trials) || !(rate >= 0 && rate <= 1)) return std::nullopt;
  const double n = trials;
  const double p = rate;
  const double z2 = kZ95 * kZ95;
  const double denominator = 1 + z2 / n;
  const double centre = (p + z2 / (2 * n)) / denominator;
  const double half = kZ95 / denominator * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
  return Interval{std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

double ConfidenceIntervals::studentT95(std::uint64_t sessions) {
  const boost::math::students_t distribution(static_cast<double>(sessions - 1));
  return boost::math::quantile(distribution, 0.975);
}

std::optional<Interval> ConfidenceIntervals::meanOf(double value, double varianceOfMean,
                                                    std::uint64_t sessions) {
  if (sessions < kMinSessionsForSpread || !std::isfinite(value) || !std::isfinite(varianceOfMean) ||
      varianceOfMean < 0) {
    return std::nullopt;
  }
  const double half = studentT95(sessions) * std::sqrt(varianceOfMean);
  return Interval{value - half, value + half};
}

double ConfidenceIntervals::sameCountBound(std::uint64_t sessions) {
  return -std::expm1(std::log(0.025) / static_cast<double>(sessions));
}

}  // namespace QVRAdKit::Sandbox
