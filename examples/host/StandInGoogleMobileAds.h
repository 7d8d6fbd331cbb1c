#pragma once
// StandInGoogleMobileAds answers for the Google Mobile Ads SDK where a phone host registers its
// bridge to the real one: it starts at once, fills every interstitial and rewarded request after a
// short latency, and plays a presented ad for a few seconds (a rewarded video grants its reward
// halfway). It has no app-open ads. Replace it by your bridge; the module does not change.
// Threading: startWithCompletionHandler() from any thread, the rest on the main queue; every
// answer and every presentation callback arrives later on the main queue, never inside the call.

#include <memory>
#include <string>

#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"

namespace ExampleHost {

class StandInGoogleMobileAds final : public QVRAdKit::GADMobileAds,
                                     public QVRAdKit::GoogleMobileAdsLoader {
 public:
  // Seconds from a request to its ad, and how long an ad stays on screen.
  static constexpr double kLoadLatency = 0.2;
  static constexpr double kShowDuration = 0.6;

  // The queue must outlive this object: both belong to one environment.
  explicit StandInGoogleMobileAds(QVRAdKit::Platform::MainQueue& mainQueue)
      : mainQueue_(mainQueue) {}

  void startWithCompletionHandler(StartCompletion completion) override;
  void loadInterstitial(const std::string& adUnitID, const QVRAdKit::GAMRequest& request,
                        QVRAdKit::GAMInterstitialAd::LoadCompletion completion) override;
  void loadAppOpen(const std::string& adUnitID, const QVRAdKit::GADRequest& request,
                   QVRAdKit::GADAppOpenAd::LoadCompletion completion) override;
  void loadRewarded(const std::string& adUnitID, const QVRAdKit::GADRequest& request,
                    QVRAdKit::GADRewardedAd::LoadCompletion completion) override;

 private:
  QVRAdKit::Platform::MainQueue& mainQueue_;
};

}  // namespace ExampleHost
