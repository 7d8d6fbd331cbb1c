#pragma once
// Rect is a frame: an origin and a size in points, with the edge accessors layout code reads.
// Example: if (label.frame().maxX() > banner.bounds().width) ...
// Threading: a value.

#include "QVRAdKit/UI/Point.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {

struct Rect {
  Point origin;
  Size size;

  [[nodiscard]] constexpr double minX() const { return origin.x; }
  [[nodiscard]] constexpr double minY() const { return origin.y; }
  [[nodiscard]] constexpr double maxX() const { return origin.x + size.width; }
  [[nodiscard]] constexpr double maxY() const { return origin.y + size.height; }
  [[nodiscard]] constexpr double width() const { return size.width; }
  [[nodiscard]] constexpr double height() const { return size.height; }

  bool operator==(const Rect&) const = default;
};

}  // namespace QVRAdKit::UI
