#pragma once
// TextLayout is a label's text as laid out for one width: its lines (ellipsis included), the
// point size they are drawn at (smaller than the font's when the label shrank its text to fit),
// the height of one line, where in a line its baseline lies, and the size of the whole text.
// Threading: a value.

#include <string>
#include <vector>

#include "QVRAdKit/UI/Size.h"

namespace QVRAdKit::UI {

struct TextLayout {
  std::vector<std::string> lines;
  double pointSize = 0;
  double lineHeight = 0;
  // The distance from a line's top to its baseline.
  double baseline = 0;
  Size size;
  // True when text was cut (clipped or replaced by an ellipsis).
  bool truncated = false;

  bool operator==(const TextLayout&) const = default;
};

}  // namespace QVRAdKit::UI
