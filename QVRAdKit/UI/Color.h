#pragma once
// Color is an sRGB colour with alpha, each component from 0 to 1.
// Example: label->setTextColor(Color::rgb(0x1A73E8));
// Threading: a value.

#include <cstdint>

namespace QVRAdKit::UI {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  // A colour from 0xRRGGBB, opaque unless alpha says otherwise.
  static constexpr Color rgb(std::uint32_t hex, double alpha = 1) {
    return {static_cast<double>((hex >> 16) & 0xFF) / 255.0,
            static_cast<double>((hex >> 8) & 0xFF) / 255.0, static_cast<double>(hex & 0xFF) / 255.0,
            alpha};
  }
  static constexpr Color clear() { return {0, 0, 0, 0}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }
  static constexpr Color white() { return {1, 1, 1, 1}; }

  bool operator==(const Color&) const = default;
};

}  // namespace QVRAdKit::UI
