#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"

#include <cassert>
#include <cmath>
#include <utility>

#include "QVRAdKit/Ads/AdMob/AdmobNetworkClassName.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {

namespace {

void assertOnMainQueue() {
  assert(Platform::Environment::current().mainQueue().isCurrent() &&
         "AdmobAppOpenAd is used on the main queue only");
}

}  // namespace

std::shared_ptr<AdmobAppOpenAd> AdmobAppOpenAd::create(std::string adUnitID,
                                                       std::shared_ptr<AdsReportable> reporter) {
  std::shared_ptr<AdmobAppOpenAd> ad(new AdmobAppOpenAd(std::move(adUnitID), std::move(reporter)));
  ad->load();
  return ad;
}

AdmobAppOpenAd::AdmobAppOpenAd(std::string adUnitID, std::shared_ptr<AdsReportable> reporter)
    : uuid_(Platform::UUID::random().uuidString()),
      adUnitID_(std::move(adUnitID)),
      reporter_(std::move(reporter)) {}

void AdmobAppOpenAd::load() {
  assertOnMainQueue();
  isLoadingSubject_.onNext(true);
  GADAppOpenAd::loadWithAdUnitID(
      adUnitID_, GADRequest{},
      [weak = weak_from_this()](std::shared_ptr<GADAppOpenAd> ad,
                                const std::optional<Platform::Error>& error) {
        if (auto self = weak.lock()) self->didFinishLoading(std::move(ad), error);
      });
  reporter_->reportAdRequested(AdSource::adMob, adUnitID_, uuid_);
}

void AdmobAppOpenAd::didFinishLoading(std::shared_ptr<GADAppOpenAd> ad,
                                      const std::optional<Platform::Error>& error) {
  // The loading flag is true only while the single load runs: a repeated completion is ignored.
  if (!isLoadingSubject_.value()) return;
  if (ad) {
    openAd_ = std::move(ad);
    openAd_->setFullScreenContentDelegate(shared_from_this());
    adLoadedTime_ = Platform::Environment::current().clock().now();
    isLoadingSubject_.onNext(false);
    reporter_->reportAdLoaded(AdSource::adMob, adUnitID_, uuid_, networkClassName());
    return;
  }
  if (error) reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_, std::nullopt, *error);
  isLoadingSubject_.onNext(false);
  isFailed_ = true;
}

// Freshness. The ad expires four hours after it arrived, and the age is read as one whole
// duration: the ad is fresh while |now - adLoadedTime| < 4 h.
// Why the whole duration: split into calendar components, the age of 25 hours is one day and one
// hour, and its hour component (1) alone would pass "below 4", making a day-old ad presentable
// again for four hours of every day. Reading the whole age is the same as "the day (and larger)
// components are zero and the hour component is below 4": 3 h 59 min is fresh, 4 h and 25 h are
// expired.
// A negative age means the clock was set back after the ad arrived; the true age is unknown. A
// shift of less than four hours keeps the ad (a clock correction should not throw a good ad away),
// a larger one expires it, so setting the clock far back never keeps an ad alive indefinitely.
bool AdmobAppOpenAd::isFresh() const {
  if (!adLoadedTime_) return false;
  const Platform::TimeInterval age =
      Platform::Environment::current().clock().now().timeIntervalSince(*adLoadedTime_);
  return std::fabs(age) < kExpiryInterval;
}

bool AdmobAppOpenAd::isLoaded() const {
  return openAd_ && isFresh() && !isUsed_;
}

Rx::Observable<bool> AdmobAppOpenAd::isLoadingStream() const {
  return isLoadingSubject_.asObservable().distinctUntilChanged();
}

void AdmobAppOpenAd::present(const std::shared_ptr<Platform::ViewController>& rootViewController) {
  assertOnMainQueue();
  if (!openAd_ || !isFresh()) return;
  std::optional<Platform::Error> refusal;  // the SDK's reason is not used
  if (openAd_->canPresentFromRootViewController(rootViewController, &refusal)) {
    openAd_->presentFromRootViewController(rootViewController);
  } else {
    isFailed_ = true;
  }
}

std::optional<std::string> AdmobAppOpenAd::networkClassName() const {
  return admobNetworkClassName(openAd_.get());
}

// In the callbacks below the adapter keeps itself alive: the host's delegate may drop the last
// reference to it while being notified.

void AdmobAppOpenAd::adWillPresentFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  auto keepAlive = shared_from_this();
  reporter_->reportAdOpened(AdSource::adMob, adUnitID_, uuid_, networkClassName());
  notifyDelegate([&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidOpen(*this); });
}

void AdmobAppOpenAd::adWillDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {}

void AdmobAppOpenAd::adDidDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  auto keepAlive = shared_from_this();
  isUsed_ = true;
  reporter_->reportAdViewed(AdSource::adMob, adUnitID_, uuid_, networkClassName(), std::nullopt);
  notifyDelegate([&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidClose(*this); });
}

void AdmobAppOpenAd::adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& /*ad*/,
                                                                  const Platform::Error& error) {
  auto keepAlive = shared_from_this();
  isFailed_ = true;
  reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_, networkClassName(), error);
  notifyDelegate([&](AppOpenAdDelegate& delegate) { delegate.appOpenAdDidFailToPresent(*this); });
}

}  // namespace QVRAdKit
