#pragma once
// AdEventSource is the ad network named in an ad event: Google Mobile Ads first, IronSource second.

#include <string_view>

namespace QVRAdKit {

enum class AdEventSource { adMob, ironSource };

[[nodiscard]] constexpr std::string_view reportingName(AdEventSource source) {
  return source == AdEventSource::adMob ? "admob" : "ironsource";
}

}  // namespace QVRAdKit
