#pragma once
// LevelPlayRewardedVideoManualDelegate receives the results of rewarded-video loads asked for with
// IronSource::loadRewardedVideo. Registering one puts the SDK's rewarded slot in manual mode: it
// loads only on request, and availability changes are no longer reported to the
// LevelPlayRewardedVideoDelegate. The SDK holds it weakly and drops callbacks once it is gone.
// Threading: called on the main queue.

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/IronSource/ISAdInfo.h"

namespace QVRAdKit {

class LevelPlayRewardedVideoManualDelegate {
 public:
  virtual ~LevelPlayRewardedVideoManualDelegate() = default;
  virtual void didLoadWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didFailToLoadWithError(const Platform::Error& error) = 0;
};

}  // namespace QVRAdKit
