#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"

#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"

namespace QVRAdKit {

std::shared_ptr<RewardedVideoAdBuilder> RewardedVideoAdBuilder::create(
    AdSource source, const std::string& adUnitID, std::shared_ptr<UserServiceProtocol> userService,
    const std::shared_ptr<QVReporting>& reporting, bool shouldStart) {
  auto builder = std::make_shared<RewardedVideoAdBuilder>(ConstructionKey{}, source, adUnitID,
                                                          std::move(userService), reporting);
  if (shouldStart) builder->start();
  return builder;
}

RewardedVideoAdBuilder::RewardedVideoAdBuilder(ConstructionKey /*key*/, AdSource source,
                                               const std::string& adUnitID,
                                               std::shared_ptr<UserServiceProtocol> userService,
                                               const std::shared_ptr<QVReporting>& reporting)
    : userService_(std::move(userService)),
      reporter_(std::make_shared<AdsReporter>(reporting)),
      source_(source) {
  if (source == AdSource::ironSource) {
    rewardedAd_ = IronSourceRewardedVideoAd::create(reporter_);
  } else {
    rewardedAd_ = AdmobRewardedVideoAd::create(adUnitID, reporter_);
  }
}

void RewardedVideoAdBuilder::start() {
  if (running_) return;
  running_ = true;
  userService_->userStream()
      .subscribe([weak = weak_from_this()](const QVUserPtr& user) {
        auto self = weak.lock();
        if (!self || !user || user->isPremium()) return;
        self->rewardedAd_->load();
        self->rebindLoadingRelay();
      })
      .disposed(bag_);
}

void RewardedVideoAdBuilder::reload() {
  rewardedAd_->load();
}

Rx::Observable<bool> RewardedVideoAdBuilder::isLoadingStream() const {
  return isLoadingRelay_.asObservable().distinctUntilChanged();
}

void RewardedVideoAdBuilder::rebindLoadingRelay() {
  isLoadingBag_ = Rx::DisposeBag();
  rewardedAd_->isLoadingStream()
      .catchAndReturn(false)
      .bind(isLoadingRelay_)
      .disposed(isLoadingBag_);
}

}  // namespace QVRAdKit
