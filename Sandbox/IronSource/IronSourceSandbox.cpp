#include "Sandbox/IronSource/IronSourceSandbox.h"

#include <utility>

namespace QVRAdKit::Sandbox {

void IronSourceSandbox::install(Platform::Environment& environment) {
  {
    std::lock_guard lock(mutex_);
    environment_ = &environment;
  }
  environment.setService<IronSourceSDK>(shared_from_this());
}

Platform::Environment& IronSourceSandbox::environment() const {
  std::lock_guard lock(mutex_);
  return environment_ != nullptr ? *environment_ : Platform::Environment::current();
}

// MARK: IronSourceSDK

void IronSourceSandbox::initWithAppKey(const std::string& appKey,
                                       const std::vector<std::string>& adUnits,
                                       std::weak_ptr<ISInitializationDelegate> delegate) {
  {
    std::lock_guard lock(mutex_);
    initCalls_.push_back(InitCall{appKey, adUnits});
    initializationDelegate_ = std::move(delegate);
  }
  initializationRequested();
}

void IronSourceSandbox::setLevelPlayRewardedVideoDelegate(
    std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate) {
  std::lock_guard lock(mutex_);
  rewardedVideoDelegate_ = std::move(delegate);
}

void IronSourceSandbox::setLevelPlayRewardedVideoManualDelegate(
    std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate) {
  std::lock_guard lock(mutex_);
  rewardedVideoManualDelegate_ = std::move(delegate);
  rewardedVideoManualMode_ = true;
}

void IronSourceSandbox::setLevelPlayInterstitialDelegate(
    std::weak_ptr<LevelPlayInterstitialDelegate> delegate) {
  std::lock_guard lock(mutex_);
  interstitialDelegate_ = std::move(delegate);
}

void IronSourceSandbox::loadRewardedVideo() {
  bool tellFace = false;
  {
    std::lock_guard lock(mutex_);
    tellFace = beginLoad(rewardedVideo_);
  }
  if (tellFace) rewardedVideoLoadRequested();
}

bool IronSourceSandbox::hasRewardedVideo() {
  std::lock_guard lock(mutex_);
  return rewardedVideo_.available;
}

void IronSourceSandbox::showRewardedVideoWithViewController(
    const std::shared_ptr<Platform::ViewController>& viewController) {
  {
    std::lock_guard lock(mutex_);
    if (keepsCallRecords_) {
      rewardedVideo_.shows.push_back(
          ShowCall{viewController ? viewController->name() : std::string(), std::string()});
    }
  }
  rewardedVideoShowRequested();
}

void IronSourceSandbox::loadInterstitial() {
  bool tellFace = false;
  {
    std::lock_guard lock(mutex_);
    tellFace = beginLoad(interstitial_);
  }
  if (tellFace) interstitialLoadRequested();
}

bool IronSourceSandbox::hasInterstitial() {
  std::lock_guard lock(mutex_);
  return interstitial_.available;
}

void IronSourceSandbox::showInterstitialWithViewController(
    const std::shared_ptr<Platform::ViewController>& viewController, const std::string& placement) {
  {
    std::lock_guard lock(mutex_);
    if (keepsCallRecords_) {
      interstitial_.shows.push_back(
          ShowCall{viewController ? viewController->name() : std::string(), placement});
    }
  }
  interstitialShowRequested(placement);
}

bool IronSourceSandbox::isInterstitialCappedForPlacement(const std::string& placementName) {
  {
    std::lock_guard lock(mutex_);
    if (keepsCallRecords_) cappingQueries_.push_back(placementName);
  }
  return interstitialCapped(placementName);
}

void IronSourceSandbox::setConsent(bool consent) {
  std::lock_guard lock(mutex_);
  consents_.push_back(consent);
}

// MARK: Records

void IronSourceSandbox::setKeepsCallRecords(bool keeps) {
  std::lock_guard lock(mutex_);
  keepsCallRecords_ = keeps;
}

std::vector<IronSourceSandbox::InitCall> IronSourceSandbox::initCalls() const {
  std::lock_guard lock(mutex_);
  return initCalls_;
}

std::vector<bool> IronSourceSandbox::consents() const {
  std::lock_guard lock(mutex_);
  return consents_;
}

std::vector<IronSourceSandbox::ShowCall> IronSourceSandbox::interstitialShows() const {
  std::lock_guard lock(mutex_);
  return interstitial_.shows;
}

std::vector<IronSourceSandbox::ShowCall> IronSourceSandbox::rewardedVideoShows() const {
  std::lock_guard lock(mutex_);
  return rewardedVideo_.shows;
}

std::vector<std::string> IronSourceSandbox::cappingQueries() const {
  std::lock_guard lock(mutex_);
  return cappingQueries_;
}

size_t IronSourceSandbox::interstitialLoadCalls() const {
  std::lock_guard lock(mutex_);
  return interstitial_.loadCalls;
}

size_t IronSourceSandbox::rewardedVideoLoadCalls() const {
  std::lock_guard lock(mutex_);
  return rewardedVideo_.loadCalls;
}

bool IronSourceSandbox::isInitialized() const {
  std::lock_guard lock(mutex_);
  return initialized_;
}

bool IronSourceSandbox::isInterstitialLoadPending() const {
  std::lock_guard lock(mutex_);
  return interstitial_.loadPending;
}

bool IronSourceSandbox::isRewardedVideoLoadPending() const {
  std::lock_guard lock(mutex_);
  return rewardedVideo_.loadPending;
}

bool IronSourceSandbox::isInterstitialOnScreen() const {
  std::lock_guard lock(mutex_);
  return interstitial_.onScreen;
}

bool IronSourceSandbox::isRewardedVideoOnScreen() const {
  std::lock_guard lock(mutex_);
  return rewardedVideo_.onScreen;
}

// MARK: Slots

bool IronSourceSandbox::beginLoad(Slot& slot) {
  ++slot.loadCalls;
  if (slot.loadPending) return false;
  slot.loadPending = true;
  return true;
}

bool IronSourceSandbox::endLoad(Slot& slot, const ISAdInfo* filled) {
  if (!slot.loadPending) return false;
  slot.loadPending = false;
  slot.available = filled != nullptr;
  if (filled != nullptr) slot.adInfo = *filled;
  return true;
}

ISAdInfo IronSourceSandbox::openSlot(Slot& slot) {
  slot.available = false;
  slot.onScreen = true;
  return slot.adInfo;
}

ISAdInfo IronSourceSandbox::closeSlot(Slot& slot) {
  slot.onScreen = false;
  return slot.adInfo;
}

ISAdInfo IronSourceSandbox::adInfoOf(const Slot& slot) const {
  return slot.adInfo;
}

// MARK: Deliveries

bool IronSourceSandbox::deliverInitializationCompleted() {
  std::shared_ptr<ISInitializationDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    if (initialized_ || initCalls_.empty()) return false;
    initialized_ = true;
    delegate = initializationDelegate_.lock();
  }
  if (delegate) delegate->initializationDidComplete();
  return true;
}

bool IronSourceSandbox::deliverInterstitialLoaded(const ISAdInfo& adInfo) {
  std::shared_ptr<LevelPlayInterstitialDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    if (!endLoad(interstitial_, &adInfo)) return false;
    delegate = interstitialDelegate_.lock();
  }
  if (delegate) delegate->didLoadWithAdInfo(adInfo);
  return true;
}

bool IronSourceSandbox::deliverInterstitialLoadFailed(const Platform::Error& error) {
  std::shared_ptr<LevelPlayInterstitialDelegate> delegate;
  {
    std::lock_guard lock(mutex_);
    if (!endLoad(interstitial_, nullptr)) return false;
    delegate = interstitialDelegate_.lock();
  }
  if (delegate) delegate->didFailToLoadWithError(error);
  return true;
}

void IronSourceSandbox::deliverInterstitialOpened() {
  deliverShowEvent(
      interstitialDelegate_, [&] { return openSlot(interstitial_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didOpenWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverInterstitialShown() {
  deliverShowEvent(
      interstitialDelegate_, [&] { return adInfoOf(interstitial_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didShowWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverInterstitialClicked() {
  deliverShowEvent(
      interstitialDelegate_, [&] { return adInfoOf(interstitial_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didClickWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverInterstitialClosed() {
  deliverShowEvent(
      interstitialDelegate_, [&] { return closeSlot(interstitial_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didCloseWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverInterstitialShowFailed(const Platform::Error& error) {
  deliverShowEvent(
      interstitialDelegate_,
      [&] {
        interstitial_.onScreen = false;
        return adInfoOf(interstitial_);
      },
      [&](auto& delegate, const ISAdInfo& adInfo) {
        delegate.didFailToShowWithError(error, adInfo);
      });
}

bool IronSourceSandbox::deliverRewardedVideoLoaded(const ISAdInfo& adInfo) {
  std::shared_ptr<LevelPlayRewardedVideoManualDelegate> manual;
  std::shared_ptr<LevelPlayRewardedVideoDelegate> automatic;
  {
    std::lock_guard lock(mutex_);
    if (!endLoad(rewardedVideo_, &adInfo)) return false;
    if (rewardedVideoManualMode_) {
      manual = rewardedVideoManualDelegate_.lock();
    } else {
      automatic = rewardedVideoDelegate_.lock();
    }
  }
  if (manual) manual->didLoadWithAdInfo(adInfo);
  if (automatic) automatic->hasAvailableAdWithAdInfo(adInfo);
  return true;
}

bool IronSourceSandbox::deliverRewardedVideoLoadFailed(const Platform::Error& error) {
  std::shared_ptr<LevelPlayRewardedVideoManualDelegate> manual;
  std::shared_ptr<LevelPlayRewardedVideoDelegate> automatic;
  {
    std::lock_guard lock(mutex_);
    if (!endLoad(rewardedVideo_, nullptr)) return false;
    if (rewardedVideoManualMode_) {
      manual = rewardedVideoManualDelegate_.lock();
    } else {
      automatic = rewardedVideoDelegate_.lock();
    }
  }
  if (manual) manual->didFailToLoadWithError(error);
  if (automatic) automatic->hasNoAvailableAd();
  return true;
}

void IronSourceSandbox::deliverRewardedVideoOpened() {
  deliverShowEvent(
      rewardedVideoDelegate_, [&] { return openSlot(rewardedVideo_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didOpenWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverRewardedVideoClicked(const ISPlacementInfo& placementInfo) {
  deliverShowEvent(
      rewardedVideoDelegate_, [&] { return adInfoOf(rewardedVideo_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didClick(placementInfo, adInfo); });
}

void IronSourceSandbox::deliverRewardedVideoRewarded(const ISPlacementInfo& placementInfo) {
  deliverShowEvent(
      rewardedVideoDelegate_, [&] { return adInfoOf(rewardedVideo_); },
      [&](auto& delegate, const ISAdInfo& adInfo) {
        delegate.didReceiveRewardForPlacement(placementInfo, adInfo);
      });
}

void IronSourceSandbox::deliverRewardedVideoClosed() {
  deliverShowEvent(
      rewardedVideoDelegate_, [&] { return closeSlot(rewardedVideo_); },
      [&](auto& delegate, const ISAdInfo& adInfo) { delegate.didCloseWithAdInfo(adInfo); });
}

void IronSourceSandbox::deliverRewardedVideoShowFailed(const Platform::Error& error) {
  deliverShowEvent(
      rewardedVideoDelegate_,
      [&] {
        rewardedVideo_.onScreen = false;
        return adInfoOf(rewardedVideo_);
      },
      [&](auto& delegate, const ISAdInfo& adInfo) {
        delegate.didFailToShowWithError(error, adInfo);
      });
}

}  // namespace QVRAdKit::Sandbox
