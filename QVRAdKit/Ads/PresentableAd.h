#pragma once
// PresentableAd is anything the host can show full screen. Success and failure arrive only through
// the ad's delegate and its analytics events. What present() leaves to the network reaches the
// delegate later, from the network's callbacks: a used ad presented again is refused by the
// network (a failure to present). What an ad decides itself it may tell inside present(): a
// rewarded video that is not ready calls rewardedVideoAdDidFailToPresent before present()
// returns, so a delegate that retries from there must not retry at once, for ever. And an ad may
// present nothing and tell nothing: an app-open ad with no ad or an expired one (ask isLoaded()
// before present(), and keep a time-out of your own on a splash screen).

#include <memory>

#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit {

class PresentableAd {
 public:
  virtual ~PresentableAd() = default;
  virtual void present(const std::shared_ptr<Platform::ViewController>& rootViewController) = 0;
};

}  // namespace QVRAdKit
