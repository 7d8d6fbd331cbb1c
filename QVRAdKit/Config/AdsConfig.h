#pragma once
// AdsConfig is the whole ads configuration the host hands over at each start-up run: the networks
// to start, each with its application key (IronSource needs one; the adMob value is not used),
// and the configured placements of each format. A placement missing from its map gets no builder
// and never shows an ad. Immutable value; the maps iterate in placement order.

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "QVRAdKit/Config/AdPlacementConfig.h"
#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Config/AppOpenAdPlacement.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"
#include "QVRAdKit/Config/RewardedAdPlacement.h"

namespace QVRAdKit {

class AdsConfig {
 public:
  using Sources = std::map<AdSource, std::optional<std::string>>;
  using InterstitialPlacements = std::map<InterstitialAdPlacement, AdPlacementConfig>;
  using RewardedPlacements = std::map<RewardedAdPlacement, AdPlacementConfig>;
  using AppOpenPlacements = std::map<AppOpenAdPlacement, AdPlacementConfig>;

  AdsConfig(Sources sources, InterstitialPlacements interstitialPlacements,
            RewardedPlacements rewardedPlacements, AppOpenPlacements appOpenPlacements)
      : sources_(std::move(sources)),
        interstitialPlacements_(std::move(interstitialPlacements)),
        rewardedPlacements_(std::move(rewardedPlacements)),
        appOpenPlacements_(std::move(appOpenPlacements)) {}

  [[nodiscard]] const Sources& sources() const { return sources_; }
  [[nodiscard]] const InterstitialPlacements& interstitialPlacements() const {
    return interstitialPlacements_;
  }
  [[nodiscard]] const RewardedPlacements& rewardedPlacements() const { return rewardedPlacements_; }
  [[nodiscard]] const AppOpenPlacements& appOpenPlacements() const { return appOpenPlacements_; }

 private:
  Sources sources_;
  InterstitialPlacements interstitialPlacements_;
  RewardedPlacements rewardedPlacements_;
  AppOpenPlacements appOpenPlacements_;
};

}  // namespace QVRAdKit
