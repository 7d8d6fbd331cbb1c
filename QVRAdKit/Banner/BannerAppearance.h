#pragma once
// BannerAppearance is one partner's set of overrides over the banner's base style: colours, fonts,
// icons, the kind of call to action, how the banner's bottom is anchored, outer insets and
// whether the banner is borderless. Every field is optional; an absent field leaves the style's
// value. A default-made value overrides nothing. Fields are public and written in declaration
// order, so designated initialisers read like the host's own constructor call:
//   BannerAppearance{.titleColor = UI::Color::white(),
//                    .cta = BannerAppearance::CTA(BannerCTAType::accessoryIcon),
//                    .position = BannerAppearance::Position::bottomToEdge};
// Threading: a value.

#include <optional>

#include "QVRAdKit/Banner/BannerCTAType.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/EdgeInsets.h"
#include "QVRAdKit/UI/Font.h"
#include "QVRAdKit/UI/Image.h"

namespace QVRAdKit {

struct BannerAppearance {
  // The call to action the partner's banner shows.
  struct CTA {
    explicit CTA(BannerCTAType ctaType) : type(ctaType) {}

    BannerCTAType type;

    bool operator==(const CTA&) const = default;
  };

  // How the banner's bottom is anchored: to the banner's bottom (regular), to the safe area's
  // bottom margin (bottomSafeArea), or with the background running to the banner's bottom edge
  // while the content stays above the safe area (bottomToEdge).
  enum class Position { regular, bottomSafeArea, bottomToEdge };

  std::optional<UI::Color> backgroundColor{};
  std::optional<UI::Color> titleColor{};
  std::optional<UI::Color> subtitleColor{};
  std::optional<UI::Font> titleFont{};
  std::optional<UI::Font> subtitleFont{};
  // Shown instead of the remote image; the banner then fetches nothing.
  std::optional<UI::Image> icon{};
  // Replaces the style's disclosure image and shows it at its own point size.
  std::optional<UI::Image> accessoryIcon{};
  std::optional<CTA> cta{};
  std::optional<Position> position{};
  std::optional<UI::EdgeInsets> insets{};
  std::optional<bool> borderless{};

  bool operator==(const BannerAppearance&) const = default;
};

}  // namespace QVRAdKit
