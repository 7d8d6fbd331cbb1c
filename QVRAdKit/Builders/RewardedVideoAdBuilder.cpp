#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"

#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

std::shared_ptr<RewardedVideoAdBuilder> RewardedVideoAdBuilder::create(
    Platform::Environment& environment, AdSource source, const std::string& adUnitID,
    std::shared_ptr<UserServiceProtocol> userService, const std::shared_ptr<QVReporting>& reporting,
    bool shouldStart) {
  auto builder = std::make_shared<RewardedVideoAdBuilder>(
      ConstructionKey{}, environment, source, adUnitID, std::move(userService), reporting);
  if (shouldStart) builder->start();
  return builder;
}

RewardedVideoAdBuilder::RewardedVideoAdBuilder(ConstructionKey /*key*/,
                                               Platform::Environment& environment, AdSource source,
                                               const std::string& adUnitID,
                                               std::shared_ptr<UserServiceProtocol> userService,
                                               const std::shared_ptr<QVReporting>& reporting)
    : userService_(std::move(userService)),
      reporter_(std::make_shared<AdsReporter>(reporting, environment.clockPtr())),
      source_(source) {
  if (source == AdSource::ironSource) {
    rewardedAd_ =
        IronSourceRewardedVideoAd::create(IronSourceHelper::sharedInstance(environment), reporter_);
  } else {
    rewardedAd_ = AdmobRewardedVideoAd::create(environment, adUnitID, reporter_);
  }
}

void RewardedVideoAdBuilder::start() {
  QVR_CHECK_MAIN_QUEUE();
  if (running_) return;
  running_ = true;
  const bool subscribed = callHost(QVR_FILE_TEXT, "start()", __LINE__, false, [&] {
    userService_->userStream()
        .subscribe([weak = weak_from_this()](const QVUserPtr& user) {
          auto self = weak.lock();
          if (self) self->hasUser_ = user != nullptr;
          if (self && user) self->userChanged(*user);
        })
        .disposed(bag_);
    return true;
  });
  if (!subscribed) running_ = false;  // a later start() tries again
}

void RewardedVideoAdBuilder::userChanged(const QVUser& user) {
  // An unreadable premium state counts as premium: nothing loads.
  if (callHost(QVR_FILE_TEXT, "start()", __LINE__, true, [&] { return user.isPremium(); })) return;
  rewardedAd_->load();
  rebindLoadingRelay();
}

void RewardedVideoAdBuilder::reload() {
  QVR_CHECK_MAIN_QUEUE();
  rewardedAd_->load();
}

std::shared_ptr<RewardedVideoAd> RewardedVideoAdBuilder::getAd() const {
  QVR_CHECK_MAIN_QUEUE();
  return rewardedAd_;
}

Rx::Observable<bool> RewardedVideoAdBuilder::isLoadingStream() const {
  QVR_CHECK_MAIN_QUEUE();
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
