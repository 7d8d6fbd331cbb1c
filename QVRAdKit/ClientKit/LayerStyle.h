#pragma once
// LayerStyle is the host kit's look of a view's layer: corner radius, border, shadow and clipping.
// A default-made LayerStyle is the empty style (empty name, every other member zero or absent);
// applying it removes whatever an earlier style set on the layer.
// Threading: a value.

#include <optional>
#include <string>

#include "QVRAdKit/ClientKit/ShadowStyle.h"
#include "QVRAdKit/ClientKit/StyleProtocol.h"
#include "QVRAdKit/UI/Color.h"

namespace QVRAdKit {

struct LayerStyle {
  std::string name;
  double cornerRadius = 0;
  double borderWidth = 0;
  std::optional<UI::Color> borderColor;
  std::optional<ShadowStyle> shadow;
  bool masksToBounds = false;

  bool operator==(const LayerStyle&) const = default;
};

static_assert(StyleProtocol<LayerStyle>);

}  // namespace QVRAdKit
