#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

#include <cmath>
#include <utility>

#include "QVRAdKit/Ads/AdMob/AdmobNetworkClassName.h"
#include "QVRAdKit/Ads/AdMob/AdmobRepeatedAnswer.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {

std::shared_ptr<AdmobAppOpenAd> AdmobAppOpenAd::create(Platform::Environment& environment,
                                                       std::string adUnitID,
                                                       std::shared_ptr<AdsReportable> reporter) {
  auto ad = std::make_shared<AdmobAppOpenAd>(ConstructionKey{}, environment, std::move(adUnitID),
                                             std::move(reporter));
  ad->load();
  return ad;
}

AdmobAppOpenAd::AdmobAppOpenAd(ConstructionKey /*key*/, Platform::Environment& environment,
                               std::string adUnitID, std::shared_ptr<AdsReportable> reporter)
    : uuid_(Platform::UUID::random().text()),
      adUnitID_(std::move(adUnitID)),
      environment_(environment),
      reporter_(std::move(reporter)) {}

void AdmobAppOpenAd::load() {
  QVR_CHECK_MAIN_QUEUE();
  isLoadingSubject_.onNext(true);
  GADAppOpenAd::loadWithAdUnitID(
      environment_, adUnitID_, GADRequest{},
      [weak = weak_from_this()](std::shared_ptr<GADAppOpenAd> ad,
                                const std::optional<Platform::Error>& error) {
        // The bridge must answer on the main queue, where the ad keeps its state: name it if not.
        checkMainQueue(QVR_FILE_TEXT, "GoogleMobileAdsLoader.loadAppOpen completion", __LINE__);
        if (auto self = weak.lock()) self->didFinishLoading(std::move(ad), error);
      });
  reporter_->reportAdRequested(AdSource::adMob, adUnitID_, uuid_.view());
}

void AdmobAppOpenAd::didFinishLoading(std::shared_ptr<GADAppOpenAd> ad,
                                      const std::optional<Platform::Error>& error) {
  // The loading flag is true only while the single load runs: a repeated completion is ignored.
  if (!isLoadingSubject_.value()) {
    reportRepeatedLoadAnswer("GoogleMobileAdsLoader.loadAppOpen completion", adUnitID_,
                             QVR_FILE_TEXT, __LINE__);
    return;
  }
  if (ad) {
    openAd_ = std::move(ad);
    openAd_->setFullScreenContentDelegate(shared_from_this());
    adLoadedTime_ = environment_.clock().now();
    isLoadingSubject_.onNext(false);
    reporter_->reportAdLoaded(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
    return;
  }
  if (error) {
    reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), std::nullopt, *error);
  }
  isLoadingSubject_.onNext(false);
  isFailed_ = true;
}

// Freshness. The ad is fresh while its load time is known and the hour component of its age
// (now - adLoadedTime) is below 4. The hour component is the whole number of hours of the age,
// truncated toward zero, with no day component split off: 3 h 59 min gives 3 (fresh), 4 h gives 4
// and 25 h gives 25 (expired). Keeping days out matters: were 25 h read as one day and one hour,
// a day-old ad would be presentable again for four hours of every day.
// A negative age (the clock was set back after the ad arrived) truncates to an hour component of
// zero or less, which is below 4: the ad stays fresh, however far the clock went back, until the
// clock passes four hours after the recorded load time again. For a positive age the rule is the
// same as "age < 4 h".
bool AdmobAppOpenAd::isFresh() const {
  if (!adLoadedTime_) return false;
  const Platform::TimeInterval age = environment_.clock().now().timeIntervalSince(*adLoadedTime_);
  // Compared as a double: no integer conversion that an absurd age could overflow.
  const double hourComponent = std::trunc(age / kSecondsPerHour);
  return hourComponent < kExpiryHours;
}

bool AdmobAppOpenAd::isLoaded() const {
  return openAd_ && isFresh() && !isUsed_;
}

Rx::Observable<bool> AdmobAppOpenAd::isLoadingStream() const {
  return isLoadingSubject_.asObservable().distinctUntilChanged();
}

void AdmobAppOpenAd::present(const std::shared_ptr<Platform::ViewController>& rootViewController) {
  QVR_CHECK_MAIN_QUEUE();
  if (!openAd_ || !isFresh()) return;
  std::optional<Platform::Error> refusal;  // the SDK's reason is not used
  if (openAd_->canPresentFromRootViewController(rootViewController, &refusal)) {
    presentation_.asked();
    openAd_->presentFromRootViewController(rootViewController);
  } else {
    isFailed_ = true;
  }
}

AdsReportable::Text AdmobAppOpenAd::networkClassName() const {
  return admobNetworkClassName(openAd_.get());
}

// In the callbacks below the adapter keeps itself alive: the host's delegate may drop the last
// reference to it while being notified. An opening or a dismissal that repeats one is ignored
// (logged by the sequence), so it neither reports nor tells the host again.

void AdmobAppOpenAd::adWillPresentFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.opened("GADFullScreenContentDelegate.adWillPresentFullScreenContent",
                            adUnitID_, QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  reporter_->reportAdOpened(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
  notifyDelegate("appOpenAdDidOpen(_:)",
                 [&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidOpen(*this); });
}

void AdmobAppOpenAd::adWillDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {}

void AdmobAppOpenAd::adDidDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.closed("GADFullScreenContentDelegate.adDidDismissFullScreenContent", adUnitID_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  isUsed_ = true;
  reporter_->reportAdViewed(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName(),
                            std::nullopt);
  notifyDelegate("appOpenAdDidClose(_:)",
                 [&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidClose(*this); });
}

void AdmobAppOpenAd::adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& /*ad*/,
                                                                  const Platform::Error& error) {
  auto keepAlive = shared_from_this();
  isFailed_ = true;
  reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName(), error);
  notifyDelegate("appOpenAdDidFailToPresent(_:)",
                 [&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidFailToPresent(*this); });
}

}  // namespace QVRAdKit
