#pragma once
// ViewStyle is the host kit's look of a plain view: background colour, alpha and its layer's style.
// Absent members leave the view's own value in place when applied.
// Threading: a value.

#include <optional>
#include <string>

#include "QVRAdKit/ClientKit/LayerStyle.h"
#include "QVRAdKit/ClientKit/StyleProtocol.h"
#include "QVRAdKit/UI/Color.h"

namespace QVRAdKit {

struct ViewStyle {
  std::string name;
  std::optional<UI::Color> backgroundColor;
  std::optional<double> alpha;
  std::optional<LayerStyle> layerStyle;

  bool operator==(const ViewStyle&) const = default;
};

static_assert(StyleProtocol<ViewStyle>);

}  // namespace QVRAdKit
