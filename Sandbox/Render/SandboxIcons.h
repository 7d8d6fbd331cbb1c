#pragma once
// SandboxIcons is the sandbox's asset catalogue: the drawing, as SVG shapes, of each image the
// sample banner style and the sample partner name (the close cross, the disclosure chevron, the
// partner's round arrow, the partner's logo and its placeholder). The view-tree renderer draws an
// image by scaling its icon's shapes into the image's rectangle; a name the catalogue lacks is
// drawn as a generic picture glyph.
// Example: SandboxIcons::find("close")->viewBox == UI::Size{24, 24}
// Threading: pure functions.

#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::Sandbox {

class SandboxIcons {
 public:
  struct Icon {
    // The coordinate space the shapes are drawn in.
    UI::Size viewBox;
    // SVG shapes (paths, circles, rects), one or more elements.
    std::string shapes;
  };

  SandboxIcons() = delete;

  [[nodiscard]] static std::optional<Icon> find(std::string_view name);
  // The drawing of an image the catalogue does not know: a framed picture.
  [[nodiscard]] static Icon unknown();
};

}  // namespace QVRAdKit::Sandbox
