#include "QVRAdKit/ClientKit/ApplyStyle.h"

namespace QVRAdKit {

void applyStyle(UI::Label& label, const TextStyle& style,
                const std::optional<TextStyle>& highlightedStyle,
                const std::optional<TextStyle>& /*linkStyle*/) {
  label.setFont(style.font);
  label.setTextColor(style.textColor);
  label.setHighlightedTextColor(highlightedStyle ? std::optional(highlightedStyle->textColor)
                                                 : std::nullopt);
}

void applyStyle(UI::View& view, const ViewStyle& style) {
  if (style.backgroundColor) view.setBackgroundColor(*style.backgroundColor);
  if (style.alpha) view.setAlpha(*style.alpha);
  if (style.layerStyle) applyStyle(view.layer(), *style.layerStyle);
}

void applyStyle(UI::Layer& layer, const LayerStyle& style) {
  const UI::Layer defaults;
  layer.cornerRadius = style.cornerRadius;
  layer.borderWidth = style.borderWidth;
  layer.borderColor = style.borderColor.value_or(defaults.borderColor);
  if (style.shadow) {
    layer.shadowColor = style.shadow->color;
    layer.shadowOpacity = style.shadow->opacity;
    layer.shadowOffset = style.shadow->offset;
    layer.shadowRadius = style.shadow->radius;
  } else {
    layer.shadowColor = defaults.shadowColor;
    layer.shadowOpacity = defaults.shadowOpacity;
    layer.shadowOffset = defaults.shadowOffset;
    layer.shadowRadius = defaults.shadowRadius;
  }
  layer.masksToBounds = style.masksToBounds;
}

}  // namespace QVRAdKit
