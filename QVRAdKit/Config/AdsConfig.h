#pragma once
// AdsConfig is the whole ads configuration the host hands over at each start-up run: the networks
// to start, each with its application key (IronSource needs one; the adMob value is not used),
// and the configured placements of each format. A placement missing from its map gets no builder
// and never shows an ad. Immutable value; the maps iterate in placement order. Copies share one
// set of maps: the service, its start-up run and the host's provider each keep a copy, and a deep
// copy of every placement's keys at each start-up was a tenth of a session's allocations.

#include <map>
#include <memory>
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
      : contents_(std::make_shared<const Contents>(
            Contents{std::move(sources), std::move(interstitialPlacements),
                     std::move(rewardedPlacements), std::move(appOpenPlacements)})) {}

  [[nodiscard]] const Sources& sources() const { return contents().sources; }
  [[nodiscard]] const InterstitialPlacements& interstitialPlacements() const {
    return contents().interstitialPlacements;
  }
  [[nodiscard]] const RewardedPlacements& rewardedPlacements() const {
    return contents().rewardedPlacements;
  }
  [[nodiscard]] const AppOpenPlacements& appOpenPlacements() const {
    return contents().appOpenPlacements;
  }

 private:
  struct Contents {
    Sources sources;
    InterstitialPlacements interstitialPlacements;
    RewardedPlacements rewardedPlacements;
    AppOpenPlacements appOpenPlacements;
  };
  // A moved-from config reads as an empty one.
  [[nodiscard]] const Contents& contents() const {
    static const Contents empty;
    return contents_ ? *contents_ : empty;
  }

  std::shared_ptr<const Contents> contents_;
};

}  // namespace QVRAdKit
