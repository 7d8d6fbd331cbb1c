#pragma once
// TableFormat holds the small formatting rules the Monte Carlo tables share: printf-style text,
// counts for %llu, and the JSON forms of rates, means and intervals, rounded to four decimals so
// that the JSON stays readable and identical across platforms.
// Threading: pure functions.

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "Sandbox/MonteCarlo/Interval.h"
#include "Sandbox/Text/Format.h"

namespace QVRAdKit::Sandbox::TableFormat {

using Text::format;

inline unsigned long long count(std::uint64_t value) {
  return static_cast<unsigned long long>(value);
}

inline double rounded(double value) {
  return std::round(value * 10000) / 10000;
}

// A rate or a mean, rounded; null when there is none.
inline nlohmann::ordered_json rate(std::optional<double> value) {
  if (!value) return nullptr;
  return rounded(*value);
}

// [low, high], rounded; null when there is none.
inline nlohmann::ordered_json interval(const std::optional<Interval>& value) {
  if (!value) return nullptr;
  return nlohmann::ordered_json::array({rounded(value->low), rounded(value->high)});
}

}  // namespace QVRAdKit::Sandbox::TableFormat
