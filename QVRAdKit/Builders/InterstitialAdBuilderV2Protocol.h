#pragma once
// InterstitialAdBuilderV2Protocol is a builder that keeps interstitials of one placement ready and
// hands out the first loaded one.

#include <memory>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Builders/AdBuildable.h"

namespace QVRAdKit {

class InterstitialAdBuilderV2Protocol : public AdBuildable {
 public:
  // The first loaded ad in key order (replaced in the cache by a fresh one), or nullptr.
  virtual std::shared_ptr<InterstitialAd> getAd() = 0;
};

}  // namespace QVRAdKit
