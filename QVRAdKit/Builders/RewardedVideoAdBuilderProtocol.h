#pragma once
// RewardedVideoAdBuilderProtocol is a builder that owns the one rewarded video of a placement.

#include <memory>

#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Builders/AdBuildable.h"

namespace QVRAdKit {

class RewardedVideoAdBuilderProtocol : public AdBuildable {
 public:
  // The builder's ad, loaded or not; never nullptr.
  [[nodiscard]] virtual std::shared_ptr<RewardedVideoAd> getAd() const = 0;
};

}  // namespace QVRAdKit
