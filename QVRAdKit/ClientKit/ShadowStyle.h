#pragma once
// ShadowStyle is a layer's drop shadow: colour, opacity (0 to 1), offset and blur radius in points.
// Threading: a value.

#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit {

struct ShadowStyle {
  UI::Color color = UI::Color::black();
  double opacity = 0;
  UI::Size offset;
  double radius = 0;

  bool operator==(const ShadowStyle&) const = default;
};

}  // namespace QVRAdKit
