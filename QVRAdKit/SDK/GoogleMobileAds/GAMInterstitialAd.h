#pragma once
// GAMInterstitialAd is one loaded Ad Manager interstitial. Ads are obtained through the class load
// loadWithAdManagerAdUnitID(), which forwards to the GoogleMobileAdsLoader registered in the
// environment it is given; without one it completes with a GADError on the main queue.
// Example:
//   GAMInterstitialAd::loadWithAdManagerAdUnitID(environment, "/123/unit", GAMRequest{},
//       [weak](std::shared_ptr<GAMInterstitialAd> ad, std::optional<Platform::Error> error) {...});
// Threading: main queue; the completion arrives on the main queue, never inside the load call.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenPresentingAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GAMRequest.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class GAMInterstitialAd : public GADFullScreenPresentingAd {
 public:
  // The loaded ad (nullptr when none) and the error when the load failed.
  using LoadCompletion =
      std::function<void(std::shared_ptr<GAMInterstitialAd>, std::optional<Platform::Error>)>;

  static void loadWithAdManagerAdUnitID(Platform::Environment& environment,
                                        const std::string& adUnitID, const GAMRequest& request,
                                        LoadCompletion completion);

  // Shows the ad; the outcome arrives through the full-screen content delegate.
  virtual void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController) = 0;
};

}  // namespace QVRAdKit
