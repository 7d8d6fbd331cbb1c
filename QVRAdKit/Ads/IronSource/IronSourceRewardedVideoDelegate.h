#pragma once
// IronSourceRewardedVideoDelegate is the rewarded ad object currently listening to the SDK's one
// rewarded-video slot, as ISRewardedVideoHandler forwards to it. The handler holds it weakly.
// Threading: called on the main queue.

#include <string>

#include "QVRAdKit/Ads/IronSource/IronSourceVideoReward.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class IronSourceRewardedVideoDelegate {
 public:
  virtual ~IronSourceRewardedVideoDelegate() = default;
  virtual void ironSourceDidLoadWith(const std::string& adUnit, const std::string& adNetwork) = 0;
  virtual void ironSourceDidFailToLoadWith(const Platform::Error& error) = 0;
  virtual void ironSourceDidClick() = 0;
  virtual void ironSourceDidReceive(const IronSourceVideoReward& reward,
                                    const std::string& placement) = 0;
  virtual void ironSourceDidClose() = 0;
  virtual void ironSourceDidFailToShowWith(const Platform::Error& error, const std::string& adUnit,
                                           const std::string& adNetwork) = 0;
  virtual void ironSourceDidOpenWith(const std::string& adUnit, const std::string& adNetwork) = 0;
};

}  // namespace QVRAdKit
