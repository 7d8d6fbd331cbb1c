#pragma once
// EdgeInsets are distances from a rectangle's four edges, in points, by absolute side.
// Threading: a value.

namespace QVRAdKit::UI {

struct EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;

  bool operator==(const EdgeInsets&) const = default;
};

}  // namespace QVRAdKit::UI
