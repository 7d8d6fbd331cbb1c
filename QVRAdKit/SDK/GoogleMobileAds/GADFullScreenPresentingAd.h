#pragma once
// GADFullScreenPresentingAd is what every full-screen ad of Google Mobile Ads has in common: the
// information on the response that filled it, and its full-screen content delegate, which it
// holds weakly.
// Threading: main queue.

#include <memory>

#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenContentDelegate.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADResponseInfo.h"

namespace QVRAdKit {

class GADFullScreenPresentingAd {
 public:
  virtual ~GADFullScreenPresentingAd() = default;

  // Fixed once the ad has loaded; the ad holds it for as long as it lives.
  [[nodiscard]] virtual const GADResponseInfo& responseInfo() const = 0;
  // The delegate, or nullptr when none was set or it is gone.
  [[nodiscard]] virtual std::shared_ptr<GADFullScreenContentDelegate> fullScreenContentDelegate()
      const = 0;
  // Kept weakly: the ad never keeps its delegate alive.
  virtual void setFullScreenContentDelegate(
      const std::weak_ptr<GADFullScreenContentDelegate>& delegate) = 0;
};

}  // namespace QVRAdKit
