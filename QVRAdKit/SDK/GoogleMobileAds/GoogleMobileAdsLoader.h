#pragma once
// GoogleMobileAdsLoader is what the class loads of GAMInterstitialAd, GADAppOpenAd and
// GADRewardedAd forward to: the part of a Google Mobile Ads implementation (the sandbox, or a
// bridge to the real SDK) that fetches ads. Registered in the environment under this type.
// Threading: called on the main queue. Each completion is called on the main queue, once (or
// never, if the network never answers), and never inside the load call itself.

#include <string>

#include "QVRAdKit/SDK/GoogleMobileAds/GADAppOpenAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADRewardedAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GAMInterstitialAd.h"

namespace QVRAdKit {

class GoogleMobileAdsLoader {
 public:
  virtual ~GoogleMobileAdsLoader() = default;
  virtual void loadInterstitial(const std::string& adUnitID, const GAMRequest& request,
                                GAMInterstitialAd::LoadCompletion completion) = 0;
  virtual void loadAppOpen(const std::string& adUnitID, const GADRequest& request,
                           GADAppOpenAd::LoadCompletion completion) = 0;
  virtual void loadRewarded(const std::string& adUnitID, const GADRequest& request,
                            GADRewardedAd::LoadCompletion completion) = 0;
};

}  // namespace QVRAdKit
