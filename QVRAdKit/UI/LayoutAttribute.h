#pragma once
// LayoutAttribute is the part of a view (or layout guide) a constraint talks about: an edge, a
// centre or a dimension. Leading and trailing are left and right: only left-to-right layout is
// laid out here.
// Threading: a value.

namespace QVRAdKit::UI {

enum class LayoutAttribute {
  left,
  right,
  top,
  bottom,
  leading,
  trailing,
  width,
  height,
  centerX,
  centerY,
};

}  // namespace QVRAdKit::UI
