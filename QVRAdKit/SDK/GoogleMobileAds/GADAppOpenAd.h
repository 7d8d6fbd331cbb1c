#pragma once
// GADAppOpenAd is one loaded app-open ad. Ads are obtained through the class load
// loadWithAdUnitID(), which forwards to the GoogleMobileAdsLoader registered in the environment
// it is given; without one it completes with a GADError on the main queue.
// Threading: main queue; the completion arrives on the main queue, never inside the load call.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenPresentingAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADRequest.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class GADAppOpenAd : public GADFullScreenPresentingAd {
 public:
  // The loaded ad (nullptr when none) and the error when the load failed.
  using LoadCompletion =
      std::function<void(std::shared_ptr<GADAppOpenAd>, std::optional<Platform::Error>)>;

  static void loadWithAdUnitID(Platform::Environment& environment, const std::string& adUnitID,
                               const GADRequest& request, LoadCompletion completion);

  // Whether the ad may be presented from rootViewController now; when not, the reason is written
  // to *error if error is given.
  virtual bool canPresentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController,
      std::optional<Platform::Error>* error) = 0;
  // Shows the ad; the outcome arrives through the full-screen content delegate.
  virtual void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& rootViewController) = 0;
};

}  // namespace QVRAdKit
