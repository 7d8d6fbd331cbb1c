#pragma once
// ViewTreeSVGRenderer draws a laid-out view tree as a self-contained SVG document, so that a
// sandbox run or a test can look at (or compare) what a banner would show. It draws, in window
// (root) coordinates: every visible view's background with its alpha, corner radius and border;
// clipping where a view clips to its bounds; a layer's drop shadow as a blurred copy of its shape;
// labels as their laid-out lines at their font size, colour and alignment, each on its baseline;
// image views and buttons as their image's drawing from SandboxIcons, scaled into the image's
// rectangle and titled with its name (a web image view without an image draws its placeholder).
// Hidden views and views whose alpha is 0 are skipped with their subviews. Each view's group
// carries its accessibility identifier.
// With fonts (the measurer the labels were laid out with), text is set in those faces and, unless
// told otherwise, the faces are embedded as @font-face data holding only the glyphs drawn, so any
// browser shows the lines in the font they were measured in, offline.
// Numbers are written with at most two decimals and no trailing zeros, and nothing depends on
// addresses or time, so the same tree always gives the same text.
// Example:
//   root->layoutIfNeeded();
//   std::ofstream("banner.svg") << ViewTreeSVGRenderer::render(*root);
// Threading: main queue only (it reads views).

#include <memory>
#include <string>
#include <string_view>

#include "QVRAdKit/UI/View.h"
#include "Sandbox/Fonts/FontTextMeasurer.h"

namespace QVRAdKit::Sandbox {

class ViewTreeSVGRenderer {
 public:
  struct Options {
    // The faces labels are drawn in; none: each label names its own font.
    std::shared_ptr<const FontTextMeasurer> fonts;
    // Whether the faces' glyphs travel in the document.
    bool embedFonts = true;
    // Room above the root on the canvas, for what is drawn outside it (a shadow).
    double topMargin = 0;
  };

  // The document for the root view's subtree; the canvas is the root's bounds.
  [[nodiscard]] static std::string render(const UI::View& root);
  [[nodiscard]] static std::string render(const UI::View& root, const Options& options);

  // Any bytes as XML character data or an attribute value: invalid UTF-8 becomes U+FFFD and the
  // characters XML forbids are dropped (MarkupText), then the markup characters are escaped.
  [[nodiscard]] static std::string escapeXML(std::string_view text);
  // A number as the renderer writes it: "12", "0.5", "-3.25".
  [[nodiscard]] static std::string formatNumber(double value);
};

}  // namespace QVRAdKit::Sandbox
