#pragma once
// Image is a named picture with its size in points, as the host's asset catalogue hands it out.
// The headless kit never decodes pixels: views only need the name (to draw or compare) and the
// point size (for layout).
// Example: Image{"close", {24, 24}}
// Threading: a value.

#include <string>

#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {

struct Image {
  std::string name;
  Size size;

  bool operator==(const Image&) const = default;
};

}  // namespace QVRAdKit::UI
