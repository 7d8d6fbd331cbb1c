#include "QVRAdKit/SDK/IronSource/IronSource.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {
namespace {

std::shared_ptr<IronSourceSDK> sdk() {
  return Platform::Environment::current().service<IronSourceSDK>();
}

}  // namespace

void IronSource::initWithAppKey(const std::string& appKey, const std::vector<std::string>& adUnits,
                                std::weak_ptr<ISInitializationDelegate> delegate) {
  if (auto implementation = sdk()) {
    implementation->initWithAppKey(appKey, adUnits, std::move(delegate));
  }
}

void IronSource::setLevelPlayRewardedVideoDelegate(
    std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate) {
  if (auto implementation = sdk()) {
    implementation->setLevelPlayRewardedVideoDelegate(std::move(delegate));
  }
}

void IronSource::setLevelPlayRewardedVideoManualDelegate(
    std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate) {
  if (auto implementation = sdk()) {
    implementation->setLevelPlayRewardedVideoManualDelegate(std::move(delegate));
  }
}

void IronSource::setLevelPlayInterstitialDelegate(
    std::weak_ptr<LevelPlayInterstitialDelegate> delegate) {
  if (auto implementation = sdk()) {
    implementation->setLevelPlayInterstitialDelegate(std::move(delegate));
  }
}

void IronSource::loadRewardedVideo() {
  if (auto implementation = sdk()) implementation->loadRewardedVideo();
}

bool IronSource::hasRewardedVideo() {
  auto implementation = sdk();
  return implementation && implementation->hasRewardedVideo();
}

void IronSource::showRewardedVideoWithViewController(
    const std::shared_ptr<Platform::ViewController>& viewController) {
  if (auto implementation = sdk())
    implementation->showRewardedVideoWithViewController(viewController);
}

void IronSource::loadInterstitial() {
  if (auto implementation = sdk()) implementation->loadInterstitial();
}

bool IronSource::hasInterstitial() {
  auto implementation = sdk();
  return implementation && implementation->hasInterstitial();
}

void IronSource::showInterstitialWithViewController(
    const std::shared_ptr<Platform::ViewController>& viewController, const std::string& placement) {
  if (auto implementation = sdk()) {
    implementation->showInterstitialWithViewController(viewController, placement);
  }
}

bool IronSource::isInterstitialCappedForPlacement(const std::string& placementName) {
  auto implementation = sdk();
  return implementation && implementation->isInterstitialCappedForPlacement(placementName);
}

void IronSource::setConsent(bool consent) {
  if (auto implementation = sdk()) implementation->setConsent(consent);
}

}  // namespace QVRAdKit
