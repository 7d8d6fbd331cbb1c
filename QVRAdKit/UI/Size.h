#pragma once
// Size is a width and a height in points.
// Threading: a value.

namespace QVRAdKit::UI {

struct Size {
  double width = 0;
  double height = 0;

  bool operator==(const Size&) const = default;
};

}  // namespace QVRAdKit::UI
