#pragma once
// BannerAdViewStyle is the banner's base look, built by the host from its design-kit styles and
// given to the view with BannerAdViewStylable::apply: the two labels' text styles, the close
// button's image, the remote image's placeholder, the content view's style and an optional
// disclosure image at the trailing end. A partner's BannerAppearance is applied over it.
// It is a design-kit style record (StyleProtocol) whose name is always the empty text.
// Example:
//   BannerAdViewStyle style(titleStyle, subtitleStyle, UI::Image{"close", {24, 24}},
//                           UI::Image{"placeholder", {72, 44}}, viewStyle, std::nullopt);
// Threading: a value.

#include <optional>
#include <string>
#include <utility>

#include "QVRAdKit/ClientKit/StyleProtocol.h"
#include "QVRAdKit/ClientKit/TextStyle.h"
#include "QVRAdKit/ClientKit/ViewStyle.h"
#include "QVRAdKit/UI/Image.h"

namespace QVRAdKit {

class BannerAdViewStyle {
 public:
  // viewStyle comes before disclosureImage here, as hosts already write it.
  BannerAdViewStyle(TextStyle titleStyle, TextStyle subtitleStyle, UI::Image closeButtonImage,
                    UI::Image placeholderImage, ViewStyle viewStyle,
                    std::optional<UI::Image> disclosureImage)
      : titleStyle_(std::move(titleStyle)),
        subtitleStyle_(std::move(subtitleStyle)),
        closeButtonImage_(std::move(closeButtonImage)),
        placeholderImage_(std::move(placeholderImage)),
        disclosureImage_(std::move(disclosureImage)),
        viewStyle_(std::move(viewStyle)) {}

  // The design-kit name: the banner style is never registered under one, so it is always empty.
  static inline const std::string name{};

  [[nodiscard]] const TextStyle& titleStyle() const { return titleStyle_; }
  [[nodiscard]] const TextStyle& subtitleStyle() const { return subtitleStyle_; }
  [[nodiscard]] const UI::Image& closeButtonImage() const { return closeButtonImage_; }
  [[nodiscard]] const UI::Image& placeholderImage() const { return placeholderImage_; }
  // None hides the disclosure image view (unless an appearance brings an accessory icon).
  [[nodiscard]] const std::optional<UI::Image>& disclosureImage() const { return disclosureImage_; }
  [[nodiscard]] const ViewStyle& viewStyle() const { return viewStyle_; }

  bool operator==(const BannerAdViewStyle&) const = default;

 private:
  TextStyle titleStyle_;
  TextStyle subtitleStyle_;
  UI::Image closeButtonImage_;
  UI::Image placeholderImage_;
  std::optional<UI::Image> disclosureImage_;
  ViewStyle viewStyle_;
};

static_assert(StyleProtocol<BannerAdViewStyle>);

}  // namespace QVRAdKit
