#pragma once
// ISAdInfo describes the ad behind an IronSource LevelPlay callback: the ad unit it was served for
// ("interstitial", "rewardedvideo", ...) and the name of the mediated network that served it.
// Threading: a value.

#include <string>

namespace QVRAdKit {

struct ISAdInfo {
  std::string ad_unit;
  std::string ad_network;

  bool operator==(const ISAdInfo&) const = default;
};

}  // namespace QVRAdKit
