#pragma once
// RewardedVideoAdDelegate is the host's listener of the rewarded video, held weakly by the ad.

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class RewardedVideoAd;

class RewardedVideoAdDelegate {
 public:
  virtual ~RewardedVideoAdDelegate() = default;
  // The reward is granted; getRewardType() and getRewardValue() hold it.
  virtual void rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) = 0;
  virtual void rewardedVideoAdDidStartLoading(RewardedVideoAd& ad) = 0;
  virtual void rewardedVideoAdDidLoad(RewardedVideoAd& ad) = 0;
  virtual void rewardedVideoAdDidFailToLoad(RewardedVideoAd& ad, const Platform::Error& error) = 0;
  virtual void rewardedVideoAdDidOpen(RewardedVideoAd& ad) = 0;
  // From the network's callback; or inside present() itself when the ad is not ready
  // (RewardedAdError::isNotReady).
  virtual void rewardedVideoAdDidFailToPresent(RewardedVideoAd& ad,
                                               const Platform::Error& error) = 0;
  virtual void rewardedVideoAdDidClose(RewardedVideoAd& ad) = 0;
};

}  // namespace QVRAdKit
