#pragma once
// GADFullScreenContentDelegate listens to the presentation of one full-screen ad: about to
// present, about to dismiss, dismissed, or failed to present. The ad holds its delegate weakly;
// a callback whose delegate is gone is dropped.
// Threading: every callback arrives on the main queue.

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class GADFullScreenPresentingAd;

class GADFullScreenContentDelegate {
 public:
  virtual ~GADFullScreenContentDelegate() = default;
  virtual void adWillPresentFullScreenContent(GADFullScreenPresentingAd& ad) = 0;
  virtual void adWillDismissFullScreenContent(GADFullScreenPresentingAd& ad) = 0;
  virtual void adDidDismissFullScreenContent(GADFullScreenPresentingAd& ad) = 0;
  virtual void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& ad,
                                                            const Platform::Error& error) = 0;
  // The user tapped the ad. The module has no use for it.
  virtual void adDidRecordClick(GADFullScreenPresentingAd& /*ad*/) {}
};

}  // namespace QVRAdKit
