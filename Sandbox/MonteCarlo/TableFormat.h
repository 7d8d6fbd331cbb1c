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

// value to four decimals; a value that rounds to zero is 0, never -0.
inline double rounded(double value) {
  const double fourDecimals = std::round(value * 10000) / 10000;
  return fourDecimals == 0 ? 0.0 : fourDecimals;
}

// number with its sign and the given decimals ("%+.*f"); one the digits show as zero is "+0.0",
// never "-0.0": a sign the digits cannot back would read as a difference.
inline std::string signedFixed(double number, int decimals) {
  std::string text = format("%+.*f", decimals, number);
  if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.front() = '+';
  }
  return text;
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
