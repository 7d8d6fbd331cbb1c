#pragma once
// TextStyle is the host kit's look of a label's text: its font and colour.
// Threading: a value.

#include <string>

#include "QVRAdKit/ClientKit/StyleProtocol.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Font.h"

namespace QVRAdKit {

struct TextStyle {
  std::string name;
  UI::Font font;
  UI::Color textColor = UI::Color::black();

  bool operator==(const TextStyle&) const = default;
};

static_assert(StyleProtocol<TextStyle>);

}  // namespace QVRAdKit
