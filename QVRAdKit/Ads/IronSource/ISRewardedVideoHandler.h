#pragma once
// ISRewardedVideoHandler is the rewarded-video delegate (automatic and manual) the IronSource
// bridge registers with the SDK for the whole process. It forwards every callback to the one ad
// object registered as its rewardedVideoDelegate (held weakly; callbacks are dropped when it is
// absent or gone); availability and manual load results both count as a load.
// Threading: main queue (it may be created on the thread that starts the bridge).

#include <memory>

#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoManualDelegate.h"

namespace QVRAdKit {

class ISRewardedVideoHandler final : public LevelPlayRewardedVideoDelegate,
                                     public LevelPlayRewardedVideoManualDelegate {
 public:
  [[nodiscard]] std::shared_ptr<IronSourceRewardedVideoDelegate> rewardedVideoDelegate() const {
    return rewardedVideoDelegate_.lock();
  }
  void setRewardedVideoDelegate(std::weak_ptr<IronSourceRewardedVideoDelegate> delegate) {
    rewardedVideoDelegate_ = std::move(delegate);
  }

  // LevelPlayRewardedVideoDelegate
  void hasAvailableAdWithAdInfo(const ISAdInfo& adInfo) override;
  void hasNoAvailableAd() override;
  void didReceiveRewardForPlacement(const ISPlacementInfo& placementInfo,
                                    const ISAdInfo& adInfo) override;
  void didFailToShowWithError(const Platform::Error& error, const ISAdInfo& adInfo) override;
  void didOpenWithAdInfo(const ISAdInfo& adInfo) override;
  void didClick(const ISPlacementInfo& placementInfo, const ISAdInfo& adInfo) override;
  void didCloseWithAdInfo(const ISAdInfo& adInfo) override;

  // LevelPlayRewardedVideoManualDelegate
  void didLoadWithAdInfo(const ISAdInfo& adInfo) override;
  void didFailToLoadWithError(const Platform::Error& error) override;

 private:
  std::weak_ptr<IronSourceRewardedVideoDelegate> rewardedVideoDelegate_;
};

}  // namespace QVRAdKit
