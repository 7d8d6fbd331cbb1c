#pragma once
// DirectionalEdgeInsets are distances from a rectangle's edges by reading direction: leading is
// the left edge and trailing the right edge in a left-to-right layout, the only one laid out here.
// Threading: a value.

namespace QVRAdKit::UI {

struct DirectionalEdgeInsets {
  double top = 0;
  double leading = 0;
  double bottom = 0;
  double trailing = 0;

  bool operator==(const DirectionalEdgeInsets&) const = default;
};

}  // namespace QVRAdKit::UI
