#include "QVRAdKit/SDK/IronSource/IronSource.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {
namespace {

std::shared_ptr<IronSourceSDK> sdk(const Platform::Environment& environment) {
  return environment.service<IronSourceSDK>();
}

}  // namespace

void IronSource::initWithAppKey(const Platform::Environment& environment, const std::string& appKey,
                                const std::vector<std::string>& adUnits,
                                std::weak_ptr<ISInitializationDelegate> delegate) {
  if (auto implementation = sdk(environment)) {
    implementation->initWithAppKey(appKey, adUnits, std::move(delegate));
  }
}

void IronSource::setLevelPlayRewardedVideoDelegate(
    const Platform::Environment& environment,
    std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate) {
  if (auto implementation = sdk(environment)) {
    implementation->setLevelPlayRewardedVideoDelegate(std::move(delegate));
  }
}

void IronSource::setLevelPlayRewardedVideoManualDelegate(
    const Platform::Environment& environment,
    std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate) {
  if (auto implementation = sdk(environment)) {
    implementation->setLevelPlayRewardedVideoManualDelegate(std::move(delegate));
  }
}

void IronSource::setLevelPlayInterstitialDelegate(
    const Platform::Environment& environment,
    std::weak_ptr<LevelPlayInterstitialDelegate> delegate) {
  if (auto implementation = sdk(environment)) {
    implementation->setLevelPlayInterstitialDelegate(std::move(delegate));
  }
}

void IronSource::loadRewardedVideo(const Platform::Environment& environment) {
  if (auto implementation = sdk(environment)) implementation->loadRewardedVideo();
}

bool IronSource::hasRewardedVideo(const Platform::Environment& environment) {
  auto implementation = sdk(environment);
  return implementation && implementation->hasRewardedVideo();
}

void IronSource::showRewardedVideoWithViewController(
    const Platform::Environment& environment,
    const std::shared_ptr<Platform::ViewController>& viewController) {
  if (auto implementation = sdk(environment))
    implementation->showRewardedVideoWithViewController(viewController);
}

void IronSource::loadInterstitial(const Platform::Environment& environment) {
  if (auto implementation = sdk(environment)) implementation->loadInterstitial();
}

bool IronSource::hasInterstitial(const Platform::Environment& environment) {
  auto implementation = sdk(environment);
  return implementation && implementation->hasInterstitial();
}

void IronSource::showInterstitialWithViewController(
    const Platform::Environment& environment,
    const std::shared_ptr<Platform::ViewController>& viewController, const std::string& placement) {
  if (auto implementation = sdk(environment)) {
    implementation->showInterstitialWithViewController(viewController, placement);
  }
}

bool IronSource::isInterstitialCappedForPlacement(const Platform::Environment& environment,
                                                  const std::string& placementName) {
  auto implementation = sdk(environment);
  return implementation && implementation->isInterstitialCappedForPlacement(placementName);
}

void IronSource::setConsent(const Platform::Environment& environment, bool consent) {
  if (auto implementation = sdk(environment)) implementation->setConsent(consent);
}

}  // namespace QVRAdKit
