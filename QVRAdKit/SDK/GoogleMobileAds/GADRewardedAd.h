#pragma once
// GADRewardedAd is one loaded rewarded ad. Ads are obtained through the class load
// loadWithAdUnitID(), which forwards to the GoogleMobileAdsLoader registered in the environment
// it is given; without one it completes with a GADError on the main queue.
// Threading: main queue; the completion and the reward handler arrive on the main queue, never
// inside the call that started them.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADAdReward.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenPresentingAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADRequest.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class GADRewardedAd : public GADFullScreenPresentingAd {
 public:
  // The loaded ad (nullptr when none) and the error when the load failed.
  using LoadCompletion =
      std::function<void(std::shared_ptr<GADRewardedAd>, std::optional<Platform::Error>)>;
  // Called when the user has earned the reward, while the ad is on screen.
  using UserDidEarnRewardHandler = std::function<void()>;

  static void loadWithAdUnitID(Platform::Environment& environment, const std::string& adUnitID,
                               const GADRequest& request, LoadCompletion completion);

  // The reward this ad grants.
  [[nodiscard]] virtual GADAdReward adReward() const = 0;
  // Shows the ad; the outcome arrives through the full-screen content delegate. The ad keeps the
  // handler only until the presentation ends (dismissed or failed), so a handler may hold the ad.
  virtual void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController,
      UserDidEarnRewardHandler userDidEarnRewardHandler) = 0;
};

}  // namespace QVRAdKit
