#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

#include <utility>

#include "QVRAdKit/Ads/AdMob/AdmobNetworkClassName.h"
#include "QVRAdKit/Ads/AdMob/AdmobRepeatedAnswer.h"
#include "QVRAdKit/Ads/RewardedAdError.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {

std::shared_ptr<AdmobRewardedVideoAd> AdmobRewardedVideoAd::create(
    Platform::Environment& environment, std::string adUnitID,
    std::shared_ptr<AdsReportable> reporter) {
  return std::make_shared<AdmobRewardedVideoAd>(ConstructionKey{}, environment, std::move(adUnitID),
                                                std::move(reporter));
}

AdmobRewardedVideoAd::AdmobRewardedVideoAd(ConstructionKey /*key*/,
                                           Platform::Environment& environment, std::string adUnitID,
                                           std::shared_ptr<AdsReportable> reporter)
    : environment_(environment),
      reporter_(std::move(reporter)),
      adUnitID_(std::move(adUnitID)),
      uuid_(Platform::UUID::random().text()) {}

Rx::Observable<bool> AdmobRewardedVideoAd::isReadyStream() const {
  return isReadySubject_.asObservable().distinctUntilChanged();
}

Rx::Observable<bool> AdmobRewardedVideoAd::isLoadedStream() const {
  return isLoadedRelay_.asObservable().distinctUntilChanged();
}

Rx::Observable<bool> AdmobRewardedVideoAd::isLoadingStream() const {
  return isLoadingRelay_.asObservable().distinctUntilChanged();
}

void AdmobRewardedVideoAd::load() {
  QVR_CHECK_MAIN_QUEUE();
  if (isLoadingRelay_.value()) return;
  auto keepAlive = shared_from_this();  // the delegate may drop the adapter while notified
  rewardedAd_ = nullptr;
  notifyDelegate("rewardedVideoAdDidStartLoading(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidStartLoading(*this);
  });
  isLoadedRelay_.accept(false);
  isReadySubject_.onNext(false);
  isLoadingRelay_.accept(true);
  const std::uint64_t thisLoad = ++loadCount_;
  GADRewardedAd::loadWithAdUnitID(
      environment_, adUnitID_, GADRequest{},
      [weak = weak_from_this(), thisLoad](std::shared_ptr<GADRewardedAd> ad,
                                          const std::optional<Platform::Error>& error) {
        // The bridge must answer on the main queue, where the ad keeps its state: name it if not.
        checkMainQueue(QVR_FILE_TEXT, "GoogleMobileAdsLoader.loadRewarded completion", __LINE__);
        if (auto self = weak.lock()) self->didFinishLoading(thisLoad, std::move(ad), error);
      });
  reporter_->reportAdRequested(AdSource::adMob, adUnitID_, uuid_.view());
}

void AdmobRewardedVideoAd::didFinishLoading(std::uint64_t load, std::shared_ptr<GADRewardedAd> ad,
                                            const std::optional<Platform::Error>& error) {
  // Only the running load's first completion counts.
  if (load != loadCount_ || !isLoadingRelay_.value()) {
    reportRepeatedLoadAnswer("GoogleMobileAdsLoader.loadRewarded completion", adUnitID_,
                             QVR_FILE_TEXT, __LINE__);
    return;
  }
  if (error) {
    isLoadingRelay_.accept(false);
    notifyDelegate("rewardedVideoAdDidFailToLoad(_:_:)", [&](RewardedVideoAdDelegate& delegate) {
      delegate.rewardedVideoAdDidFailToLoad(*this, *error);
    });
    reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), std::nullopt, *error);
    return;
  }
  rewardedAd_ = std::move(ad);
  if (rewardedAd_) rewardedAd_->setFullScreenContentDelegate(shared_from_this());
  isLoadedRelay_.accept(true);
  isReadySubject_.onNext(rewardedAd_ != nullptr);
  isLoadingRelay_.accept(false);
  // The host hears of the load first; the report then names the network of the ad held at that
  // moment, so a load the host started from its delegate (which clears the ad) reports none.
  notifyDelegate("rewardedVideoAdDidLoad(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidLoad(*this);
  });
  reporter_->reportAdLoaded(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
}

void AdmobRewardedVideoAd::present(
    const std::shared_ptr<Platform::ViewController>& rootViewController) {
  QVR_CHECK_MAIN_QUEUE();
  if (!rewardedAd_) {
    notifyDelegate("rewardedVideoAdDidFailToPresent(_:_:)", [&](RewardedVideoAdDelegate& delegate) {
      delegate.rewardedVideoAdDidFailToPresent(*this, toError(RewardedAdError::isNotReady));
    });
    return;
  }
  presentation_.asked();
  // The handler holds the ad being shown (the SDK releases the handler when the presentation
  // ends, so this is no lasting cycle) and the adapter weakly.
  rewardedAd_->presentFromRootViewController(rootViewController,
                                             [weak = weak_from_this(), shownAd = rewardedAd_] {
                                               if (auto self = weak.lock())
                                                 self->didEarnReward(*shownAd);
                                             });
}

void AdmobRewardedVideoAd::didEarnReward(const GADRewardedAd& shownAd) {
  if (!presentation_.rewarded("GADRewardedAd.userDidEarnRewardHandler", adUnitID_, QVR_FILE_TEXT,
                              __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  const GADAdReward reward = shownAd.adReward();
  rewardValue_ = reward.amount;
  rewardType_ = reward.type;
  notifyDelegate("rewardedVideoAdDidEarnReward(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidEarnReward(*this);
  });
  // The next ad loads while this one is still on screen. Its request stamps this ad's time again,
  // so the view reported at dismissal runs from the reward, not from the opening.
  load();
}

AdsReportable::Text AdmobRewardedVideoAd::networkClassName() const {
  return admobNetworkClassName(rewardedAd_.get());
}

// In the callbacks below the adapter keeps itself alive: the host's delegate may drop the last
// reference to it while being notified. An opening or a dismissal that repeats one is ignored
// (logged by the sequence), so it neither reports nor tells the host again.

void AdmobRewardedVideoAd::adWillPresentFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.opened("GADFullScreenContentDelegate.adWillPresentFullScreenContent",
                            adUnitID_, QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  notifyDelegate("rewardedVideoAdDidOpen(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidOpen(*this);
  });
  reporter_->reportAdOpened(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName());
}

void AdmobRewardedVideoAd::adWillDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {}

void AdmobRewardedVideoAd::adDidDismissFullScreenContent(GADFullScreenPresentingAd& /*ad*/) {
  if (!presentation_.closed("GADFullScreenContentDelegate.adDidDismissFullScreenContent", adUnitID_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  auto keepAlive = shared_from_this();
  load();  // no-op while the load started by the reward runs
  notifyDelegate("rewardedVideoAdDidClose(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidClose(*this);
  });
  reporter_->reportAdViewed(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName(),
                            std::nullopt);
}

void AdmobRewardedVideoAd::adDidFailToPresentFullScreenContentWithError(
    GADFullScreenPresentingAd& /*ad*/, const Platform::Error& error) {
  auto keepAlive = shared_from_this();
  notifyDelegate("rewardedVideoAdDidFailToPresent(_:_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidFailToPresent(*this, error);
  });
  reporter_->reportAdFailed(AdSource::adMob, adUnitID_, uuid_.view(), networkClassName(), error);
}

}  // namespace QVRAdKit
