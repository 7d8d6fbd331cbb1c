#pragma once
// InterstitialCappingChecker asks a mediation network whether its own capping rules currently
// forbid an interstitial for a placement. The IronSource bridge implements it; the ads service
// holds it once that network has started and consults it only for IronSource-served placements.
// Threading: main queue.

#include <string>
#include <vector>

namespace QVRAdKit {

class InterstitialCappingChecker {
 public:
  virtual ~InterstitialCappingChecker() = default;

  // True when the network caps the placement known by these names (its configured keys).
  virtual bool isInterstitialCappedFor(const std::vector<std::string>& placementNames) = 0;
};

}  // namespace QVRAdKit
