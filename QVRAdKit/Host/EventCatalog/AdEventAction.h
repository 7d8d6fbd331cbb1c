#pragma once
// AdEventAction is the placement action named in an ad event. The module picks cases by
// position: 0 app-open ads, 1 connect, 2 disconnect and 3 app-launch interstitials.

#include <string_view>

namespace QVRAdKit {

enum class AdEventAction { appOpen, connect, disconnect, appLaunch };

[[nodiscard]] constexpr std::string_view reportingName(AdEventAction action) {
  switch (action) {
    case AdEventAction::appOpen:
      return "app_open";
    case AdEventAction::connect:
      return "connect";
    case AdEventAction::disconnect:
      return "disconnect";
    case AdEventAction::appLaunch:
      return "app_launch";
  }
  return "unknown";
}

}  // namespace QVRAdKit
