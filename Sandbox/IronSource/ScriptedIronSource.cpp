#include "Sandbox/IronSource/ScriptedIronSource.h"

namespace QVRAdKit::Sandbox {

std::shared_ptr<ScriptedIronSource> ScriptedIronSource::create() {
  return std::make_shared<ScriptedIronSource>(Token{});
}

void ScriptedIronSource::setCompletesInitializationAtOnce(bool atOnce) {
  std::lock_guard lock(mutex_);
  completesInitializationAtOnce_ = atOnce;
}

bool ScriptedIronSource::completeInitialization() {
  return deliverInitializationCompleted();
}

void ScriptedIronSource::initializationRequested() {
  {
    std::lock_guard lock(mutex_);
    if (!completesInitializationAtOnce_) return;
  }
  // The request may come from a background thread; the callback belongs on the main queue.
  environment().mainQueue().async([weak = std::weak_ptr<IronSourceSandbox>(shared_from_this())] {
    if (auto self = std::static_pointer_cast<ScriptedIronSource>(weak.lock())) {
      self->deliverInitializationCompleted();
    }
  });
}

bool ScriptedIronSource::fillInterstitialLoad(const std::string& adNetwork,
                                              const std::string& adUnit) {
  return deliverInterstitialLoaded(ISAdInfo{adUnit, adNetwork});
}

bool ScriptedIronSource::failInterstitialLoad(const Platform::Error& error) {
  return deliverInterstitialLoadFailed(error);
}

void ScriptedIronSource::setInterstitialCapped(const std::string& placement, bool capped) {
  std::lock_guard lock(mutex_);
  if (capped) {
    cappedPlacements_.insert(placement);
  } else {
    cappedPlacements_.erase(placement);
  }
}

bool ScriptedIronSource::interstitialCapped(const std::string& placement) {
  std::lock_guard lock(mutex_);
  return cappedPlacements_.contains(placement);
}

bool ScriptedIronSource::fillRewardedVideoLoad(const std::string& adNetwork,
                                               const std::string& adUnit) {
  return deliverRewardedVideoLoaded(ISAdInfo{adUnit, adNetwork});
}

bool ScriptedIronSource::failRewardedVideoLoad(const Platform::Error& error) {
  return deliverRewardedVideoLoadFailed(error);
}

}  // namespace QVRAdKit::Sandbox
