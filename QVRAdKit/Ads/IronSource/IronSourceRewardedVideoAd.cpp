#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

#include <optional>
#include <utility>
#include <variant>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Platform/UUID.h"

namespace QVRAdKit {
std::shared_ptr<IronSourceRewardedVideoAd> IronSourceRewardedVideoAd::create(
    std::shared_ptr<IronSourceHelper> ironSourceHelper, std::shared_ptr<AdsReportable> reporter) {
  return std::make_shared<IronSourceRewardedVideoAd>(Token{}, std::move(ironSourceHelper),
                                                     std::move(reporter));
}

IronSourceRewardedVideoAd::IronSourceRewardedVideoAd(
    Token, std::shared_ptr<IronSourceHelper> ironSourceHelper,
    std::shared_ptr<AdsReportable> reporter)
    : ironSourceHelper_(std::move(ironSourceHelper)),
      reporter_(std::move(reporter)),
      uuid_(Platform::UUID::random().text()) {}

Rx::Observable<bool> IronSourceRewardedVideoAd::isReadyStream() const {
  return isReadySubject_.asObservable().distinctUntilChanged();
}

bool IronSourceRewardedVideoAd::isReady() const {
  return ironSourceHelper_->hasRewardedVideo();
}

Rx::Observable<bool> IronSourceRewardedVideoAd::isLoadedStream() const {
  return isLoadedRelay_.asObservable().distinctUntilChanged();
}

Rx::Observable<bool> IronSourceRewardedVideoAd::isLoadingStream() const {
  return isLoadingRelay_.asObservable().distinctUntilChanged();
}

void IronSourceRewardedVideoAd::load() {
  QVR_CHECK_MAIN_QUEUE();
  if (isLoadingRelay_.value()) return;
  auto keepAlive = shared_from_this();  // the delegate may drop the ad while notified
  const auto& helper = ironSourceHelper_;
  helper->setRewardedVideoDelegate(weak_from_this());
  helper->loadRewardedVideo();
  notifyDelegate("rewardedVideoAdDidStartLoading(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidStartLoading(*this);
  });
  isLoadedRelay_.accept(false);
  isReadySubject_.onNext(false);
  isLoadingRelay_.accept(true);
  reporter_->reportAdRequested(AdSource::ironSource, std::string(), uuid_.view());
}

void IronSourceRewardedVideoAd::present(
    const std::shared_ptr<Platform::ViewController>& rootViewController) {
  QVR_CHECK_MAIN_QUEUE();
  // The SDK may call back inside the show (a fail-to-show, say), and the host may drop the ad then.
  auto keepAlive = shared_from_this();
  presentation_.asked();
  ironSourceHelper_->showRewardedVideoWith(rootViewController);
}

void IronSourceRewardedVideoAd::ironSourceDidLoadWith(const std::string& adUnit,
                                                      const std::string& adNetwork) {
  isLoadedRelay_.accept(true);
  isReadySubject_.onNext(ironSourceHelper_->hasRewardedVideo());
  isLoadingRelay_.accept(false);
  notifyDelegate("rewardedVideoAdDidLoad(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidLoad(*this);
  });
  reporter_->reportAdLoaded(AdSource::ironSource, adUnit, uuid_.view(), adNetwork);
}

void IronSourceRewardedVideoAd::ironSourceDidFailToLoadWith(const Platform::Error& error) {
  isLoadingRelay_.accept(false);
  notifyDelegate("rewardedVideoAdDidFailToLoad(_:_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidFailToLoad(*this, error);
  });
  reporter_->reportAdFailed(AdSource::ironSource, std::nullopt, uuid_.view(), std::nullopt, error);
}

void IronSourceRewardedVideoAd::ironSourceDidClick() {}

void IronSourceRewardedVideoAd::ironSourceDidReceive(const IronSourceVideoReward& reward,
                                                     const std::string& placement) {
  // Only a decimal amount is honoured; any other number counts as no amount.
  const auto* decimal = std::get_if<Platform::Decimal>(&reward.amount);
  rewardValue_ = decimal != nullptr ? *decimal : Platform::Decimal();
  rewardType_ = reward.name;
  placementId_ = placement;
}

// An opening or a close that repeats one is ignored (logged by the sequence): a repeated close
// would otherwise tell the host of a second reward and report the showing again.
void IronSourceRewardedVideoAd::ironSourceDidClose() {
  if (!presentation_.closed("IronSourceRewardedVideoDelegate.ironSourceDidClose", placementId_,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  notifyDelegate("rewardedVideoAdDidEarnReward(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidEarnReward(*this);
  });
  load();
}

void IronSourceRewardedVideoAd::ironSourceDidFailToShowWith(const Platform::Error& error,
                                                            const std::string& /*adUnit*/,
                                                            const std::string& /*adNetwork*/) {
  isLoadingRelay_.accept(false);
  notifyDelegate("rewardedVideoAdDidFailToPresent(_:_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidFailToPresent(*this, error);
  });
}

void IronSourceRewardedVideoAd::ironSourceDidOpenWith(const std::string& adUnit,
                                                      const std::string& adNetwork) {
  if (!presentation_.opened("IronSourceRewardedVideoDelegate.ironSourceDidOpenWith", adUnit,
                            QVR_FILE_TEXT, __LINE__)) {
    return;
  }
  notifyDelegate("rewardedVideoAdDidOpen(_:)", [&](RewardedVideoAdDelegate& delegate) {
    delegate.rewardedVideoAdDidOpen(*this);
  });
  reporter_->reportAdOpened(AdSource::ironSource, adUnit, uuid_.view(), adNetwork);
}

}  // namespace QVRAdKit
