#pragma once
// Point is a position in points in a view's coordinate space (origin top left, y grows down).
// Threading: a value.

namespace QVRAdKit::UI {

struct Point {
  double x = 0;
  double y = 0;

  bool operator==(const Point&) const = default;
};

}  // namespace QVRAdKit::UI
