#include "QVRAdKit/Platform/Decimal.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace QVRAdKit::Platform {

namespace {

constexpr std::uint64_t kMaxMagnitude = std::numeric_limits<std::int64_t>::max();

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::uint64_t magnitudeOf(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

Decimal::Decimal(std::int64_t mantissa, std::int32_t exponent)
    : mantissa_(mantissa), exponent_(exponent) {
  if (mantissa_ == 0) {
    exponent_ = 0;
    return;
  }
  while (mantissa_ % 10 == 0) {
    mantissa_ /= 10;
    ++exponent_;
  }
}

Decimal Decimal::fromInt(std::int64_t value) {
  return Decimal(value, 0);
}

std::optional<Decimal> Decimal::fromString(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  std::uint64_t magnitude = 0;
  std::int64_t exponent = 0;  // wide: long digit strings move it far before normalization
  bool sawDigit = false;
  bool sawPoint = false;
  bool full = false;     // later digits no longer fit in the mantissa
  bool roundUp = false;  // the first digit that did not fit was 5 or more
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      if (sawPoint) return std::nullopt;
      sawPoint = true;
      continue;
    }
    if (!isDigit(c)) break;
    sawDigit = true;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (!full && magnitude <= (kMaxMagnitude - digit) / 10) {
      magnitude = magnitude * 10 + digit;
      if (sawPoint) --exponent;
    } else {
      if (!full) roundUp = digit >= 5;
      full = true;
      if (!sawPoint) ++exponent;
    }
  }
  if (!sawDigit) return std::nullopt;

  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    ++i;
    bool exponentNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponentNegative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t written = 0;
    for (; i < text.size(); ++i) {
      if (!isDigit(text[i])) return std::nullopt;
      if (written < 1'000'000'000) written = written * 10 + (text[i] - '0');
    }
    exponent += exponentNegative ? -written : written;
  }

  if (roundUp && ++magnitude > kMaxMagnitude) {
    magnitude = (magnitude + 5) / 10;
    ++exponent;
  }
  if (magnitude == 0) return Decimal();
  while (magnitude % 10 == 0) {
    magnitude /= 10;
    ++exponent;
  }
  if (exponent < kMinExponent || exponent > kMaxExponent) return std::nullopt;
  const auto signedMagnitude = static_cast<std::int64_t>(magnitude);
  return Decimal(negative ? -signedMagnitude : signedMagnitude,
                 static_cast<std::int32_t>(exponent));
}

Decimal Decimal::fromDouble(double value) {
  if (!std::isfinite(value)) return Decimal();
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (result.ec != std::errc()) return Decimal();
  return fromString(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)))
      .value_or(Decimal());
}

double Decimal::doubleValue() const {
  // Through text, so the conversion rounds once, correctly.
  const std::string text = std::to_string(mantissa_) + "e" + std::to_string(exponent_);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string Decimal::stringValue() const {
  std::string digits = std::to_string(magnitudeOf(mantissa_));
  std::string text = mantissa_ < 0 ? "-" : "";
  if (exponent_ >= 0) {
    text += digits;
    if (mantissa_ != 0) text.append(static_cast<size_t>(exponent_), '0');
    return text;
  }
  const auto fractionDigits = static_cast<size_t>(-exponent_);
  if (digits.size() > fractionDigits) {
    digits.insert(digits.size() - fractionDigits, 1, '.');
    return text + digits;
  }
  return text + "0." + std::string(fractionDigits - digits.size(), '0') + digits;
}

}  // namespace QVRAdKit::Platform
