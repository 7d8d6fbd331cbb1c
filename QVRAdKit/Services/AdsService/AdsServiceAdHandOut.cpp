// The builders of AdsService and the hand-out of ads: starting and reloading the builders the
// start-up run made, handing a ready ad to the host when its placement may show one, and the
// loading stream of the application-start ad. A host service that throws inside a decision here
// is caught by that decision (shouldShowAd) or by the builder; the answer is then "no ad".

#include <algorithm>
#include <memory>
#include <optional>

#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"

namespace QVRAdKit {

void AdsService::startBuilders() {
  for (const auto& [placement, builder] : interstitialAdBuilders_) builder->start();
  for (const auto& [placement, builder] : rewardedAdBuilders_) builder->start();
  for (const auto& [placement, builder] : appOpenAdBuilders_) builder->start();
}

bool AdsService::builderWaitsForUser() const {
  const auto waits = [](const auto& builders) {
    return std::any_of(builders.begin(), builders.end(),
                       [](const auto& entry) { return entry.second->waitsForUser(); });
  };
  return waits(interstitialAdBuilders_) || waits(rewardedAdBuilders_) || waits(appOpenAdBuilders_);
}

void AdsService::loadAds() {
  QVR_CHECK_MAIN_QUEUE();
  shouldStart_ = true;
  startBuilders();
}

void AdsService::reloadAds() {
  QVR_CHECK_MAIN_QUEUE();
  for (const auto& [placement, builder] : interstitialAdBuilders_) builder->reload();
  for (const auto& [placement, builder] : rewardedAdBuilders_) builder->reload();
  for (const auto& [placement, builder] : appOpenAdBuilders_) builder->reload();
}

void AdsService::reload(const AdsPlacement& placement) {
  QVR_CHECK_MAIN_QUEUE();
  if (auto found = builder(placement)) found->reload();
}

std::shared_ptr<AdBuildable> AdsService::builder(const AdsPlacement& placement) const {
  auto find = [](const auto& builders, auto key) -> std::shared_ptr<AdBuildable> {
    auto it = builders.find(key);
    return it == builders.end() ? nullptr : it->second;
  };
  if (auto p = placement.interstitialPlacement()) return find(interstitialAdBuilders_, *p);
  if (auto p = placement.rewardedPlacement()) return find(rewardedAdBuilders_, *p);
  if (auto p = placement.appOpenPlacement()) return find(appOpenAdBuilders_, *p);
  return nullptr;
}

std::shared_ptr<InterstitialAd> AdsService::interstitialAd(InterstitialAdPlacement placement) {
  QVR_CHECK_MAIN_QUEUE();
  const auto adsPlacement = AdsPlacement::interstitial(placement);
  if (!shouldShowAd(adsPlacement)) return nullptr;
  auto found = interstitialAdBuilders_.find(placement);
  if (found == interstitialAdBuilders_.end()) return nullptr;
  const auto* placementConfig = adPlacementConfig(adsPlacement);
  if (placementConfig && placementConfig->source() == AdSource::ironSource && ironSource_ &&
      ironSource_->isInterstitialCappedFor(placementConfig->keys())) {
    return nullptr;
  }
  return found->second->getAd();
}

std::shared_ptr<RewardedVideoAd> AdsService::rewardedAd(RewardedAdPlacement /*placement*/) {
  QVR_CHECK_MAIN_QUEUE();
  // The enumeration has one case: the timewall placement is the one asked about.
  if (!shouldShowAd(AdsPlacement::rewarded(RewardedAdPlacement::timewall))) return nullptr;
  auto found = rewardedAdBuilders_.find(RewardedAdPlacement::timewall);
  return found == rewardedAdBuilders_.end() ? nullptr : found->second->rewardedAd();
}

std::shared_ptr<AppOpenAd> AdsService::appOpenAd(AppOpenAdPlacement placement) {
  QVR_CHECK_MAIN_QUEUE();
  if (!shouldShowAd(AdsPlacement::appOpen(placement))) return nullptr;
  auto found = appOpenAdBuilders_.find(placement);
  return found == appOpenAdBuilders_.end() ? nullptr : found->second->getAd();
}

std::optional<Rx::Observable<bool>> AdsService::appLaunchIsLoadingAdStream() {
  QVR_CHECK_MAIN_QUEUE();
  // Each end of a run (a true of the relay) adds the app-launch builder's loading changes, minus
  // the current state and the first change: for an idle builder the first value is the false that
  // ends its first load.
  return isLoadedRelay_.asObservable()
      .filter([](bool loaded) { return loaded; })
      .flatMap([weak = weak_from_this()](bool) {
        auto self = weak.lock();
        if (!self) return Rx::Observable<bool>::just(false);
        auto placement = self->appLaunchPlacement();
        if (placement && self->shouldShowAd(*placement)) {
          if (auto found = self->builder(*placement)) return found->isLoadingStream().skip(2);
        }
        return Rx::Observable<bool>::just(false);
      });
}

}  // namespace QVRAdKit
