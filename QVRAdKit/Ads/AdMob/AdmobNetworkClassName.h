#pragma once
// The network class name the AdMob adapters put in their reports: the class name of the network
// adapter that served the SDK ad, or none when there is no ad or the SDK does not know the network.

#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenPresentingAd.h"

namespace QVRAdKit {

// The name is a view into the ad's response information: valid while the ad lives.
[[nodiscard]] inline std::optional<std::string_view> admobNetworkClassName(
    const GADFullScreenPresentingAd* ad) {
  if (!ad) return std::nullopt;
  const GADResponseInfo& info = ad->responseInfo();
  if (!info.loadedAdNetworkResponseInfo) return std::nullopt;
  return info.loadedAdNetworkResponseInfo->adNetworkClassName;
}

}  // namespace QVRAdKit
