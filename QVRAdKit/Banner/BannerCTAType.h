#pragma once
// BannerCTAType is the kind of call to action a partner banner shows: a bottom button (the plain
// banner), or an accessory icon at the trailing end, optionally pinned to the edge. With an
// accessory icon the banner module splits a two-line title into title and subtitle.
// Example: bannerCTAType("accessoryIcon") == BannerCTAType::accessoryIcon
// A plain value; usable as a map key.

#include <optional>
#include <string_view>

namespace QVRAdKit {

enum class BannerCTAType { bottomButton, accessoryIcon, accessoryIconPinned };

// "bottomButton", "accessoryIcon" or "accessoryIconPinned".
[[nodiscard]] constexpr std::string_view rawValue(BannerCTAType type) {
  switch (type) {
    case BannerCTAType::bottomButton:
      return "bottomButton";
    case BannerCTAType::accessoryIcon:
      return "accessoryIcon";
    case BannerCTAType::accessoryIconPinned:
      return "accessoryIconPinned";
  }
  return "";
}

// The type whose raw value is exactly this text (case-sensitive); none for any other text.
[[nodiscard]] constexpr std::optional<BannerCTAType> bannerCTAType(std::string_view raw) {
  for (auto type : {BannerCTAType::bottomButton, BannerCTAType::accessoryIcon,
                    BannerCTAType::accessoryIconPinned}) {
    if (raw == rawValue(type)) return type;
  }
  return std::nullopt;
}

}  // namespace QVRAdKit
