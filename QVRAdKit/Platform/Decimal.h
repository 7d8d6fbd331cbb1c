#pragma once
// Decimal is a base-10 number (prices, ad revenue) held exactly as mantissa x 10^exponent, always
// normalized (no trailing zeros in the mantissa, zero as 0 x 10^0), so equality is numeric:
// "1.50" equals "1.5". The mantissa holds up to 18-19 significant digits; longer text is rounded
// half up. Exponents range over [-128, 127].
// Example: Decimal::fromString("12.50")->stringValue() == "12.5"
// Threading: a value.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace QVRAdKit::Platform {

class Decimal {
 public:
  static constexpr std::int32_t kMinExponent = -128;
  static constexpr std::int32_t kMaxExponent = 127;

  constexpr Decimal() = default;  // zero

  static Decimal fromInt(std::int64_t value);
  // "12.50", "-3", "+0.5", ".5", "1e3", "2.5E-2". None for anything else (spaces included) and for
  // numbers outside the exponent range.
  static std::optional<Decimal> fromString(std::string_view text);
  // The shortest decimal text that reads back as the same double; zero for NaN, infinities and
  // magnitudes outside the exponent range.
  static Decimal fromDouble(double value);

  // The nearest double.
  [[nodiscard]] double doubleValue() const;
  // Plain notation without exponent or trailing zeros: "12.5", "-3", "1000", "0.001".
  [[nodiscard]] std::string stringValue() const;
  [[nodiscard]] bool isZero() const { return mantissa_ == 0; }

  [[nodiscard]] std::int64_t mantissa() const { return mantissa_; }
  [[nodiscard]] std::int32_t exponent() const { return exponent_; }

  bool operator==(const Decimal&) const = default;

 private:
  Decimal(std::int64_t mantissa, std::int32_t exponent);

  std::int64_t mantissa_ = 0;
  std::int32_t exponent_ = 0;
};

}  // namespace QVRAdKit::Platform
