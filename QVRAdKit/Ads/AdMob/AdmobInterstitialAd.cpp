#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

#include <utility>

#include "QVRAdKit/Ads/AdMob/AdmobNetworkClassName.h"
#include "QVRAdKit/Ads/AdMob/AdmobRepeatedAnswer.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {

std::shared_ptr<AdmobInterstitialAd> AdmobInterstitialAd::create(
    Platform::Environment& environment, std::string adUnitID,
    std::shared_ptr<AdsReportable> reporter) {
  auto ad = std::make_shared<AdmobInterstitialAd>(ConstructionKey{}, environment,
                                                  std::move(adUnitID), std::move(reporter));
  ad->load();
  return ad;
}

AdmobInterstitialAd::AdmobInterstitialAd(ConstructionKey /*key*/,
                                         Platform::Environment& environment, std::string adUnitID,
                                         std::shared_ptr<AdsReportable> reporter)
    : environment_(environment),
      reporter_(std::move(reporter)),
      adUnitID_(std::move(adUnitID)),
      uuid_(Platform::UUID::random().text()) {}

void AdmobInterstitialAd::load() {
  QVR_CHECK_MAIN_QUEUE();
  isLoadingSubject().onNext(true);
  std::weak_ptr<AdmobInterstitialAd> weak =
      std::static_pointer_cast<AdmobInterstitialAd>(shared_from_this());
  GAMInterstitialAd::loadWithAdManagerAdUnitID(
      environment_, adUnitID_, GAMRequest{},
      [weak](std::shared_ptr<GAMInterstitialAd> ad, const std::optional<Platform::Error>& error) {
        // The bridge must answer on the main queue, where the ad keeps its state: name it if not.
        checkMainQueue(QVR_FILE_TEXT, "GoogleMobileAdsLoader.loadInterstitial completion",
                       __LINE__);
        if (auto self = weak.lock()) self->didFinishLoading(std::move(ad), error);
      });
  reporter_->reportAdRequested(AdSource::adMob, adUnitID_, uuid_.view());
}

void AdmobInterstitialAd::didFinishLoading(std::shared_ptr<GAMInterstitialAd> ad,
                                           const std::optional<Platform::Error>& error) {
  // The loading flag is true only while the single load runs: a repeated completion is ignored.
  if (!isLoadingSubject().value()) {
    reportRepeatedLoadAnswer("GoogleMobileAdsLoader.loadInterstitial completion", adUnitID_,
                             QVR_FILE_TEXT, __LINE__);
    return;
  }
  if (error) {
    reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), std::nullopt, *error);
    notifyDelegate("interstitialAdDidFail(_:)", [&](InterstitialAdDelegate& delegate) {
      delegate.interstitialAdDidFail(*this);
    });
    setIsFailed(true);
    isLoadingSubject().onNext(false);
    isLoadingSubject().onCompleted();
    return;
  }
  interstitial_ = std::move(ad);
  if (interstitial_) {
    interstitial_->setFullScreenContentDelegate(
        std::static_pointer_cast<AdmobInterstitialAd>(shared_from_this()));
  }
  reporter_->reportAdLoaded(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
  isLoadingSubject().onNext(false);
  isLoadingSubject().onCompleted();
}

bool AdmobInterstitialAd::isLoaded() const {
  return interstitial_ && !hasBeenUsed();
}

void AdmobInterstitialAd::present(
    const std::shared_ptr<Platform::ViewController>& rootViewController) {
  QVR_CHECK_MAIN_QUEUE();
  if (!interstitial_) return;
  presentation_.asked();
  interstitial_->presentFromRootViewController(rootViewController);
}

AdsReportable::Text AdmobInterstitialAd::networkClassName() const {
  return admobNetworkClassName(interstitial_.get());
}

// In the callbacks below the adapter keeps itself alive: the host's delegate may drop the last
// reference to it while being notified. An opening or a dismissal that repeats one is ignored
// (logged by the sequence), so it neither reports nor tells the host again.

void AdmobInterstitialAd::adWillPresentFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.opened("GADFullScreenContentDelegate.adWillPresentFullScreenContent",
                            adUnitID_, QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  reporter_->reportAdOpened(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
  notifyDelegate("interstitialAdDidOpen(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidOpen(*this); });
}

void AdmobInterstitialAd::adWillDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.willClose("GADFullScreenContentDelegate.adWillDismissFullScreenContent",
                               adUnitID_, QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  notifyDelegate("interstitialAdWillClose(_:)", [&](InterstitialAdDelegate& delegate) {
    delegate.interstitialAdWillClose(*this);
  });
}

void AdmobInterstitialAd::adDidDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.closed("GADFullScreenContentDelegate.adDidDismissFullScreenContent", adUnitID_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  reporter_->reportAdViewed(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName(),
                            std::nullopt);
  notifyDelegate("interstitialAdDidClose(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidClose(*this); });
  setHasBeenUsed(true);
}

void AdmobInterstitialAd::adDidFailToPresentFullScreenContentWithError(
    GADFullScreenPresentingAd& /*ad*/, const Platform::Error& error) {
  auto keepAlive = shared_from_this();
  reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), std::nullopt, error);
  notifyDelegate("interstitialAdDidFail(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidFail(*this); });
  setIsFailed(true);
}

}  // namespace QVRAdKit
