#pragma once
// TextMeasurer is the view kit's port for measuring text: how wide one line of text is in a font
// at a point size, and how far apart its lines are. Labels wrap, cut and shrink their text with
// it. A host that draws with a real font registers one in the environment, so that the lines a
// label lays out are the lines that font draws:
//   environment->setService<UI::TextMeasurer>(std::make_shared<MyFontMeasurer>());
// Without one, labels use their fixed estimate (see Label), which needs no font at all.
// Threading: called on the main queue, by the labels of the environment it is registered in.

#include <string_view>

#include "QVRAdKit/UI/Font.h"

namespace QVRAdKit::UI {

class TextMeasurer {
 public:
  struct LineMetrics {
    // The distance from one line's top to the next line's top.
    double lineHeight = 0;
    // The distance from a line's top to its baseline.
    double baseline = 0;

    bool operator==(const LineMetrics&) const = default;
  };

  virtual ~TextMeasurer() = default;

  // The advance width, in points, of one line of UTF-8 text (no line feed) in font at pointSize.
  [[nodiscard]] virtual double width(std::string_view text, const Font& font,
                                     double pointSize) const = 0;
  [[nodiscard]] virtual LineMetrics lineMetrics(const Font& font, double pointSize) const = 0;
};

}  // namespace QVRAdKit::UI
