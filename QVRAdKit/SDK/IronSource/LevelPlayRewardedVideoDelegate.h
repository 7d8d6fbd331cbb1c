#pragma once
// LevelPlayRewardedVideoDelegate receives the IronSource SDK's callbacks for its single,
// process-wide rewarded-video slot: availability changes (automatic loading only) and the life of
// a shown ad (opened, clicked, reward granted, closed, or failed to show). With a
// LevelPlayRewardedVideoManualDelegate registered the SDK loads only on request and reports load
// results to that delegate instead of availability changes here.
// The SDK holds it weakly and drops callbacks once it is gone.
// Threading: called on the main queue.

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/IronSource/ISAdInfo.h"
#include "QVRAdKit/SDK/IronSource/ISPlacementInfo.h"

namespace QVRAdKit {

class LevelPlayRewardedVideoDelegate {
 public:
  virtual ~LevelPlayRewardedVideoDelegate() = default;
  virtual void hasAvailableAdWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void hasNoAvailableAd() = 0;
  virtual void didReceiveRewardForPlacement(const ISPlacementInfo& placementInfo,
                                            const ISAdInfo& adInfo) = 0;
  virtual void didFailToShowWithError(const Platform::Error& error, const ISAdInfo& adInfo) = 0;
  virtual void didOpenWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didClick(const ISPlacementInfo& placementInfo, const ISAdInfo& adInfo) = 0;
  virtual void didCloseWithAdInfo(const ISAdInfo& adInfo) = 0;
};

}  // namespace QVRAdKit
