#pragma once
// InterstitialAdPlacement names the moments at which a full-screen interstitial may be shown: the
// host's connect and disconnect actions and the application start. A plain value; usable as a
// map key. placement(InterstitialType) maps the host's interstitial choice onto it.

#include <cstddef>
#include <optional>
#include <string_view>

#include "QVRAdKit/Host/InterstitialType.h"

namespace QVRAdKit {

enum class InterstitialAdPlacement { connect, disconnect, appLaunch };

// How many cases InterstitialAdPlacement has; its values index arrays of this size.
inline constexpr std::size_t kInterstitialAdPlacementCount = 3;

// The case name, as written in log texts: "connect", "disconnect" or "appLaunch".
[[nodiscard]] constexpr std::string_view caseName(InterstitialAdPlacement placement) {
  switch (placement) {
    case InterstitialAdPlacement::connect:
      return "connect";
    case InterstitialAdPlacement::disconnect:
      return "disconnect";
    case InterstitialAdPlacement::appLaunch:
      return "appLaunch";
  }
  return "unknown";
}

// The placement the host means by its interstitial type; none for InterstitialType::none.
[[nodiscard]] constexpr std::optional<InterstitialAdPlacement> placement(InterstitialType type) {
  switch (type) {
    case InterstitialType::none:
      return std::nullopt;
    case InterstitialType::connect:
      return InterstitialAdPlacement::connect;
    case InterstitialType::disconnect:
      return InterstitialAdPlacement::disconnect;
    case InterstitialType::appLaunch:
      return InterstitialAdPlacement::appLaunch;
  }
  return std::nullopt;
}

}  // namespace QVRAdKit
