#pragma once
// AdmobInterstitialAd is one Ad Manager interstitial of Google Mobile Ads for one ad-unit key. It
// starts its single load when created, reports the request and its outcome, and turns the SDK
// ad's full-screen callbacks (it is the SDK ad's delegate) into reports, flag changes and calls of
// the host's delegate. A failed or used object is never reloaded: its waterfall replaces it.
// Only the first completion of its load counts; a second one (a misbehaving SDK) is ignored, and
// so is an opening or a dismissal that repeats the last one.
// Example: auto ad = AdmobInterstitialAd::create(environment, "/1234/connect", reporter);
// Threading: main queue. The load completion holds the adapter weakly and does nothing once it is
// gone; the SDK ad holds it weakly as its delegate.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Ads/PresentationSequence.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/UUIDText.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenContentDelegate.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GAMInterstitialAd.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class AdmobInterstitialAd final : public InterstitialAd, public GADFullScreenContentDelegate {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Made through create() only (the key is private), in one allocation with its control block.
  AdmobInterstitialAd(ConstructionKey key, Platform::Environment& environment, std::string adUnitID,
                      std::shared_ptr<AdsReportable> reporter);
  // Creates the adapter and starts its load (created through here because the load completion
  // needs a weak pointer to the adapter).
  [[nodiscard]] static std::shared_ptr<AdmobInterstitialAd> create(
      Platform::Environment& environment, std::string adUnitID,
      std::shared_ptr<AdsReportable> reporter);

  // An SDK ad arrived and the ad was not shown yet.
  [[nodiscard]] bool isLoaded() const override;
  // Hands the SDK ad to the SDK; does nothing when no ad was loaded.
  void present(const std::shared_ptr<Platform::ViewController>& rootViewController) override;

  [[nodiscard]] const std::string& adUnitID() const { return adUnitID_; }
  [[nodiscard]] std::string_view uuid() const { return uuid_.view(); }

  // GADFullScreenContentDelegate.
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& ad,
                                                    const Platform::Error& error) override;

 private:
  void load();
  void didFinishLoading(std::shared_ptr<GAMInterstitialAd> ad,
                        const std::optional<Platform::Error>& error);
  [[nodiscard]] AdsReportable::Text networkClassName() const;

  std::shared_ptr<GAMInterstitialAd> interstitial_;
  PresentationSequence presentation_;
  // The environment the ad loads in (its SDK, main queue and clock); it outlives the ad.
  Platform::Environment& environment_;
  const std::shared_ptr<AdsReportable> reporter_;
  const std::string adUnitID_;
  const Platform::UUIDText uuid_;
};

}  // namespace QVRAdKit
