#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"

namespace QVRAdKit {

std::shared_ptr<IronSourceHelper> IronSourceHelper::sharedInstance(
    Platform::Environment& environment) {
  return environment.sharedInstance<IronSourceHelper>(
      [&environment] { return std::make_shared<IronSourceHelper>(Token{}, environment); });
}

void IronSourceHelper::start(const std::string& appKey, std::function<void()> completion) {
  std::shared_ptr<ISRewardedVideoHandler> rewardedHandler;
  std::shared_ptr<ISInterstitialHandler> interstitialHandler;
  {
    std::unique_lock lock(mutex_);
    if (started_) {
      // A caller after a start without a completion would otherwise never hear back.
      if (!startCompletionHandler_) {
        startCompletionHandler_ = std::move(completion);
        if (!initialized_) return;
      }
      std::function<void()> stored = startCompletionHandler_;
      lock.unlock();
      if (stored) stored();
      return;
    }
    started_ = true;
    startCompletionHandler_ = std::move(completion);
    // Both handlers exist before the SDK is told anything, so that a completion arriving early
    // already finds them.
    rewardedVideoHandler_ = rewardedHandler = std::make_shared<ISRewardedVideoHandler>();
    interstitialHandler_ = interstitialHandler =
        std::make_shared<ISInterstitialHandler>(environment_.notificationCenterPtr());
  }

  IronSource::initWithAppKey(environment_, appKey,
                             {std::string(IS_REWARDED_VIDEO), std::string(IS_INTERSTITIAL)},
                             weak_from_this());
  IronSource::setLevelPlayRewardedVideoDelegate(environment_, rewardedHandler);
  IronSource::setLevelPlayRewardedVideoManualDelegate(environment_, rewardedHandler);
  IronSource::setLevelPlayInterstitialDelegate(environment_, interstitialHandler);

  environment_.notificationCenter().addObserver(
      weak_from_this(), std::string(InterstitialShouldReloadNotificationName), nullptr,
      [weak = weak_from_this()](const Platform::Notification&) {
        if (auto self = weak.lock()) self->loadInterstitial();
      });
}

void IronSourceHelper::initializationDidComplete() {
  std::function<void()> stored;
  {
    std::lock_guard lock(mutex_);
    initialized_ = true;
    stored = startCompletionHandler_;
  }
  if (stored) stored();
}

std::shared_ptr<ISRewardedVideoHandler> IronSourceHelper::rewardedVideoHandler() const {
  std::lock_guard lock(mutex_);
  return rewardedVideoHandler_;
}

std::shared_ptr<ISInterstitialHandler> IronSourceHelper::interstitialHandler() const {
  std::lock_guard lock(mutex_);
  return interstitialHandler_;
}

void IronSourceHelper::setRewardedVideoDelegate(
    std::weak_ptr<IronSourceRewardedVideoDelegate> delegate) {
  if (auto handler = rewardedVideoHandler()) handler->setRewardedVideoDelegate(std::move(delegate));
}

void IronSourceHelper::loadRewardedVideo() {
  IronSource::loadRewardedVideo(environment_);
}

bool IronSourceHelper::hasRewardedVideo() const {
  return IronSource::hasRewardedVideo(environment_);
}

void IronSourceHelper::showRewardedVideoWith(
    const std::shared_ptr<Platform::ViewController>& viewController) {
  IronSource::showRewardedVideoWithViewController(environment_, viewController);
}

void IronSourceHelper::setInterstitialDelegate(
    std::weak_ptr<IronSourceInterstitialDelegate> delegate) {
  if (auto handler = interstitialHandler()) handler->setInterstitialDelegate(std::move(delegate));
}

void IronSourceHelper::loadInterstitial() {
  if (auto handler = interstitialHandler()) {
    handler->setIsLoading(true);
    handler->setIsFailed(false);
  }
  IronSource::loadInterstitial(environment_);
}

bool IronSourceHelper::isLoadingInterstitial() const {
  auto handler = interstitialHandler();
  return handler && handler->isLoading();
}

bool IronSourceHelper::isFailedInterstitial() const {
  auto handler = interstitialHandler();
  return handler && handler->isFailed();
}

bool IronSourceHelper::hasInterstitial() const {
  return IronSource::hasInterstitial(environment_);
}

void IronSourceHelper::showInterstitialWith(
    const std::shared_ptr<Platform::ViewController>& viewController, const std::string& placement) {
  IronSource::showInterstitialWithViewController(environment_, viewController, placement);
}

bool IronSourceHelper::isInterstitialCappedFor(const std::vector<std::string>& placementNames) {
  for (const std::string& name : placementNames) {
    if (IronSource::isInterstitialCappedForPlacement(environment_, name)) return true;
  }
  return false;
}

}  // namespace QVRAdKit
