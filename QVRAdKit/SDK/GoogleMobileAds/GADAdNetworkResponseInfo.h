#pragma once
// GADAdNetworkResponseInfo describes the mediated network that answered an ad request: the class
// name of the network adapter that served the ad (for example "GADMAdapterGoogleAdMobAds").
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <string>

namespace QVRAdKit {

struct GADAdNetworkResponseInfo {
  std::string adNetworkClassName;

  bool operator==(const GADAdNetworkResponseInfo&) const = default;
};

}  // namespace QVRAdKit
