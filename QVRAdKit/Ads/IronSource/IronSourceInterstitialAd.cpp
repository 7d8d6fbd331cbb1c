#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

#include <optional>
#include <utility>

#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {
std::shared_ptr<IronSourceInterstitialAd> IronSourceInterstitialAd::create(
    std::shared_ptr<IronSourceHelper> ironSourceHelper, std::string adUnitID,
    std::shared_ptr<AdsReportable> reporter) {
  QVR_CHECK_MAIN_QUEUE();
  auto ad = std::make_shared<IronSourceInterstitialAd>(Token{}, std::move(ironSourceHelper),
                                                       std::move(adUnitID), std::move(reporter));
  ad->loadIfNeeded();
  ad->reporter_->reportAdRequested(AdSource::ironSource, std::nullopt, ad->uuid_.view());
  return ad;
}

IronSourceInterstitialAd::IronSourceInterstitialAd(
    Token, std::shared_ptr<IronSourceHelper> ironSourceHelper, std::string adUnitID,
    std::shared_ptr<AdsReportable> reporter)
    : reporter_(std::move(reporter)),
      adUnitID_(std::move(adUnitID)),
      uuid_(Platform::UUID::random().text()),
      ironSourceHelper_(std::move(ironSourceHelper)) {}

void IronSourceInterstitialAd::loadIfNeeded() {
  if (isLoaded() || ironSourceHelper_->isLoadingInterstitial()) return;
  ironSourceHelper_->setInterstitialDelegate(weakListener());
  ironSourceHelper_->loadInterstitial();
}

std::weak_ptr<IronSourceInterstitialDelegate> IronSourceInterstitialAd::weakListener() {
  return std::static_pointer_cast<IronSourceInterstitialAd>(shared_from_this());
}

bool IronSourceInterstitialAd::isLoaded() const {
  return ironSourceHelper_->hasInterstitial() && !hasBeenUsed();
}

bool IronSourceInterstitialAd::isFailed() const {
  return ironSourceHelper_->isFailedInterstitial();
}

void IronSourceInterstitialAd::setIsFailed(bool /*failed*/) {}

void IronSourceInterstitialAd::present(
    const std::shared_ptr<Platform::ViewController>& rootViewController) {
  QVR_CHECK_MAIN_QUEUE();
  ironSourceHelper_->setInterstitialDelegate(weakListener());
  presentation_.asked();
  ironSourceHelper_->showInterstitialWith(rootViewController, adUnitID_);
}

void IronSourceInterstitialAd::ironSourceDidLoadWith(const std::string& /*adUnit*/,
                                                     const std::string& adNetwork) {
  reporter_->reportAdLoaded(AdSource::ironSource, std::nullopt, uuid_.view(), adNetwork);
}

void IronSourceInterstitialAd::ironSourceDidFailToLoadWith(const Platform::Error& error) {
  notifyDelegate("interstitialAdDidFail(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidFail(*this); });
  reporter_->reportAdFailed(AdSource::ironSource, std::nullopt, uuid_.view(), std::nullopt, error);
}

void IronSourceInterstitialAd::ironSourceDidClick() {}

// An opening or a close that repeats one is ignored (logged by the sequence): the handler keeps a
// closed ad as its listener, so a repeated close would otherwise report the view again.
void IronSourceInterstitialAd::ironSourceDidCloseWith(const std::string& adNetwork) {
  if (!presentation_.closed("IronSourceInterstitialDelegate.ironSourceDidCloseWith", adUnitID_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  notifyDelegate("interstitialAdWillClose(_:)", [&](InterstitialAdDelegate& delegate) {
    delegate.interstitialAdWillClose(*this);
  });
  reporter_->reportAdViewed(AdSource::ironSource, adUnitID_, uuid_.view(), adNetwork, std::nullopt);
  notifyDelegate("interstitialAdDidClose(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidClose(*this); });
  setHasBeenUsed(true);
}

void IronSourceInterstitialAd::ironSourceDidFailToShowWith(const Platform::Error& /*error*/,
                                                           const std::string& /*adUnit*/,
                                                           const std::string& /*adNetwork*/) {
  notifyDelegate("interstitialAdDidFailToShow(_:)", [&](InterstitialAdDelegate& delegate) {
    delegate.interstitialAdDidFailToShow(*this);
  });
}

void IronSourceInterstitialAd::ironSourceDidOpenWith(const std::string& /*adUnit*/,
                                                     const std::string& adNetwork) {
  if (!presentation_.opened("IronSourceInterstitialDelegate.ironSourceDidOpenWith", adUnitID_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  reporter_->reportAdOpened(AdSource::ironSource, adUnitID_, uuid_.view(), adNetwork);
  notifyDelegate("interstitialAdDidOpen(_:)",
                 [&](InterstitialAdDelegate& delegate) { delegate.interstitialAdDidOpen(*this); });
}

void IronSourceInterstitialAd::ironSourceDidShowAdNetwork(const std::string& /*adNetwork*/) {}

}  // namespace QVRAdKit
