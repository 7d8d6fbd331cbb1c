#pragma once
// ViewTreeSVGRenderer draws a laid-out view tree as a self-contained SVG document, so that a
// sandbox run or a test can look at (or compare) what a banner would show. It draws, in window
// (root) coordinates: every visible view's background with its alpha, corner radius and border;
// clipping where a view clips to its bounds; labels as their laid-out lines at their font size,
// colour and alignment; image views and buttons as a dashed, labelled box naming their image (a
// web image view without an image names its placeholder). Hidden views and views whose alpha is
// 0 are skipped with their subviews. Each view's group carries its accessibility identifier.
// Numbers are written with at most two decimals and no trailing zeros, and nothing depends on
// addresses or time, so the same tree always gives the same text.
// Example:
//   root->layoutIfNeeded();
//   std::ofstream("banner.svg") << ViewTreeSVGRenderer::render(*root);
// Threading: main queue only (it reads views).

#include <string>
#include <string_view>

#include "QVRAdKit/UI/View.h"

namespace QVRAdKit::Sandbox {

class ViewTreeSVGRenderer {
 public:
  // The document for the root view's subtree; the canvas is the root's bounds.
  [[nodiscard]] static std::string render(const UI::View& root);

  // Any bytes as XML character data or an attribute value: invalid UTF-8 becomes U+FFFD and the
  // characters XML forbids are dropped (MarkupText), then the markup characters are escaped.
  [[nodiscard]] static std::string escapeXML(std::string_view text);
  // A number as the renderer writes it: "12", "0.5", "-3.25".
  [[nodiscard]] static std::string formatNumber(double value);
};

}  // namespace QVRAdKit::Sandbox
