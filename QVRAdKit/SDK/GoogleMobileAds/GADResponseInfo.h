#pragma once
// GADResponseInfo is what the SDK tells about the response behind a loaded ad: the network that
// served it, when known.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <optional>
#include <string>

#include "QVRAdKit/SDK/GoogleMobileAds/GADAdNetworkResponseInfo.h"

namespace QVRAdKit {

struct GADResponseInfo {
  // The network whose ad was loaded; absent when the SDK has no such information.
  std::optional<GADAdNetworkResponseInfo> loadedAdNetworkResponseInfo;

  bool operator==(const GADResponseInfo&) const = default;
};

}  // namespace QVRAdKit
