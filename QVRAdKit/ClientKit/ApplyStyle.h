#pragma once
// applyStyle puts a design-kit style on a view, a layer or a label.
//  - TextStyle on a Label: font and text colour. A highlighted style gives the label's
//    highlightedTextColor; a link style is accepted for the kit's signature and not kept, since
//    labels here carry plain text without links.
//  - ViewStyle on a View: each present member (background colour, alpha, layer style) replaces the
//    view's; an absent member leaves the view's value as it is.
//  - LayerStyle on a Layer: the whole layer look is replaced. Absent border colour and shadow mean
//    none, so the empty LayerStyle{} resets the layer: square corners, no border, no shadow,
//    no clipping.
// Example: applyStyle(*contentView, style.viewStyle);
// Threading: main queue only, as the views.

#include <optional>

#include "QVRAdKit/ClientKit/LayerStyle.h"
#include "QVRAdKit/ClientKit/TextStyle.h"
#include "QVRAdKit/ClientKit/ViewStyle.h"
#include "QVRAdKit/UI/Label.h"
#include "QVRAdKit/UI/Layer.h"
#include "QVRAdKit/UI/View.h"

namespace QVRAdKit {

void applyStyle(UI::Label& label, const TextStyle& style,
                const std::optional<TextStyle>& highlightedStyle = std::nullopt,
                const std::optional<TextStyle>& linkStyle = std::nullopt);
void applyStyle(UI::View& view, const ViewStyle& style);
void applyStyle(UI::Layer& layer, const LayerStyle& style);

}  // namespace QVRAdKit
