// Assembles an AdsServiceSnapshot from an ads service's state. Everything here only reads: the
// builders' keys and caches, the ads' flags and the reporters' request times, the consent
// service's answers and the stored pause date. Nothing subscribes, loads, logs or reports, and
// nothing a host service throws escapes.

#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "QVRAdKit/Consent/AdsConsentService.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"

namespace QVRAdKit {

namespace {

using Snapshot = AdsServiceSnapshot;

// Seconds from the reporter's last stamp of uuid (its request, or its opening) to now.
std::optional<Platform::TimeInterval> sinceStamp(const AdsReporter& reporter,
                                                 const std::string& uuid, Platform::Date now) {
  const std::optional<Platform::Date> stamp = reporter.lastStamp(uuid);
  if (!stamp) return std::nullopt;
  return now.timeIntervalSince(*stamp);
}

std::string_view uuidOf(const InterstitialAd& ad) {
  if (const auto* admob = dynamic_cast<const AdmobInterstitialAd*>(&ad)) return admob->uuid();
  if (const auto* is = dynamic_cast<const IronSourceInterstitialAd*>(&ad)) return is->uuid();
  return {};
}

std::string_view uuidOf(const RewardedVideoAd& ad) {
  if (const auto* admob = dynamic_cast<const AdmobRewardedVideoAd*>(&ad)) return admob->uuid();
  if (const auto* is = dynamic_cast<const IronSourceRewardedVideoAd*>(&ad)) return is->uuid();
  return {};
}

Snapshot::Ad record(const InterstitialAd& ad, const AdsReporter& reporter, Platform::Date now) {
  Snapshot::Ad result;
  result.uuid = uuidOf(ad);
  if (ad.isFailed()) {
    result.state = Snapshot::AdState::failed;
  } else if (ad.hasBeenUsed()) {
    result.state = Snapshot::AdState::used;
  } else if (ad.isLoaded()) {
    result.state = Snapshot::AdState::loaded;
  } else {
    result.state = Snapshot::AdState::loading;
  }
  result.age = sinceStamp(reporter, result.uuid, now);
  return result;
}

Snapshot::Ad record(const AdmobAppOpenAd& ad, const AdsReporter& reporter, Platform::Date now) {
  Snapshot::Ad result;
  result.uuid = ad.uuid();
  const std::optional<Platform::Date>& loadedAt = ad.adLoadedTime();
  if (ad.isFailed()) {
    result.state = Snapshot::AdState::failed;
  } else if (ad.isContentDiscarded()) {
    result.state = Snapshot::AdState::used;
  } else if (ad.isLoaded()) {
    result.state = Snapshot::AdState::loaded;
  } else if (loadedAt) {
    // Loaded once, neither used nor failed, and no longer loaded: too old to be shown.
    result.state = Snapshot::AdState::expired;
  } else {
    result.state = Snapshot::AdState::loading;
  }
  if (loadedAt) {
    result.age = now.timeIntervalSince(*loadedAt);
    result.ageOrigin = Snapshot::AgeOrigin::loaded;
  } else {
    result.age = sinceStamp(reporter, result.uuid, now);
  }
  return result;
}

Snapshot::Ad record(const RewardedVideoAd& ad, const AdsReporter& reporter, Platform::Date now) {
  Snapshot::Ad result;
  result.uuid = uuidOf(ad);
  result.age = sinceStamp(reporter, result.uuid, now);
  if (ad.isLoading()) {
    result.state = Snapshot::AdState::loading;
  } else if (ad.isLoaded()) {
    result.state = Snapshot::AdState::loaded;
  } else if (result.age) {
    // Asked for before, neither loading nor loaded now: the last load or showing gave no ad.
    result.state = Snapshot::AdState::failed;
  } else {
    result.state = Snapshot::AdState::idle;
  }
  return result;
}

// The keys of a waterfall builder with the ad its cache holds for each.
template <class Builder>
std::vector<Snapshot::Key> waterfallKeys(const Builder& builder, Platform::Date now) {
  std::vector<Snapshot::Key> keys;
  const auto& cache = builder.waterfallService()->adsCache();
  for (const std::string& key : builder.adKeys()) {
    Snapshot::Key entry{key, std::nullopt};
    if (auto found = cache.find(key); found != cache.end() && found->second) {
      entry.ad = record(*found->second, *builder.reporter(), now);
    }
    keys.push_back(std::move(entry));
  }
  return keys;
}

std::vector<Snapshot::Key> configuredKeys(const AdPlacementConfig& config) {
  std::vector<Snapshot::Key> keys;
  keys.reserve(config.keys().size());
  for (const std::string& key : config.keys()) keys.push_back({key, std::nullopt});
  return keys;
}

Snapshot::Consent consentOf(const AdsConsentService* service) {
  Snapshot::Consent consent;
  if (service == nullptr) return consent;
  consent.hasService = true;
  try {
    const bool applies = service->gdprApplies();
    const bool resolved = service->gdprConsentResolved();
    // Required or obtained apply; not required or obtained are resolved.
    if (applies && resolved) {
      consent.status = Snapshot::ConsentStatus::obtained;
    } else if (applies) {
      consent.status = Snapshot::ConsentStatus::required;
    } else if (resolved) {
      consent.status = Snapshot::ConsentStatus::notRequired;
    }
    consent.formLoaded = service->gdprConsentForm() != nullptr;
    consent.personalizedAdsAllowed = service->gdprConsentAccepted();
  } catch (...) {
    // A consent service that throws answers nothing: the defaults stand.
  }
  return consent;
}

}  // namespace

const AdsServiceSnapshot::Placement* AdsServiceSnapshot::placement(
    const AdsPlacement& placement) const {
  auto found = std::ranges::find_if(
      placements, [&](const Placement& entry) { return entry.placement == placement; });
  return found == placements.end() ? nullptr : &*found;
}

std::string_view caseName(AdsServiceSnapshot::AdState state) {
  switch (state) {
    case AdsServiceSnapshot::AdState::idle:
      return "idle";
    case AdsServiceSnapshot::AdState::loading:
      return "loading";
    case AdsServiceSnapshot::AdState::loaded:
      return "loaded";
    case AdsServiceSnapshot::AdState::failed:
      return "failed";
    case AdsServiceSnapshot::AdState::expired:
      return "expired";
    case AdsServiceSnapshot::AdState::used:
      return "used";
  }
  return "unknown";
}

std::string_view caseName(AdsServiceSnapshot::ConsentStatus status) {
  switch (status) {
    case AdsServiceSnapshot::ConsentStatus::unknown:
      return "unknown";
    case AdsServiceSnapshot::ConsentStatus::required:
      return "required";
    case AdsServiceSnapshot::ConsentStatus::notRequired:
      return "notRequired";
    case AdsServiceSnapshot::ConsentStatus::obtained:
      return "obtained";
  }
  return "unknown";
}

AdsServiceSnapshot AdsService::snapshot() const {
  Snapshot result;
  const Platform::Date now = environment_.clock().now();
  result.takenAt = now;
  result.configured = config_.has_value();
  result.runInProgress = runsInProgress_ > 0;
  result.runHasEnded = isLoadedRelay_.value();
  result.lastRunOutcome = startUpProgress_.outcome();
  result.lastRunError = startUpProgress_.error();
  if (result.runInProgress) result.runWaitsOn = startUpProgress_.wait();

  if (storage_) {
    try {
      if (auto stored = storage_->value(kAdsPausedTillDateKey)) {
        if (const auto* date = std::get_if<Platform::Date>(&*stored)) {
          result.pausedTill = *date;
        } else {
          result.pausedTillUnreadable = true;
        }
      }
    } catch (...) {
      result.pausedTillUnreadable = true;
    }
  }

  for (std::size_t i = 0; i < adRequestDates_.size(); ++i) {
    if (adRequestDates_[i]) {
      result.lastGrants.emplace(static_cast<InterstitialAdPlacement>(i), *adRequestDates_[i]);
    }
  }
  result.consent = consentOf(adsConsentService_.get());
  if (!config_) return result;

  for (const auto& [placement, placementConfig] : config_->interstitialPlacements()) {
    Snapshot::Placement entry{
        AdsPlacement::interstitial(placement), placementConfig.source(), {}, false, false, false};
    if (auto found = interstitialAdBuilders_.find(placement);
        found != interstitialAdBuilders_.end()) {
      entry.hasBuilder = true;
      entry.running = found->second->running();
      entry.waitingForUser = found->second->waitsForUser();
      entry.keys = waterfallKeys(*found->second, now);
    } else {
      entry.keys = configuredKeys(placementConfig);
    }
    result.placements.push_back(std::move(entry));
  }
  for (const auto& [placement, placementConfig] : config_->rewardedPlacements()) {
    Snapshot::Placement entry{AdsPlacement::rewarded(placement),
                              placementConfig.source(),
                              configuredKeys(placementConfig),
                              false,
                              false,
                              false};
    if (auto found = rewardedAdBuilders_.find(placement); found != rewardedAdBuilders_.end()) {
      const RewardedVideoAdBuilder& builder = *found->second;
      entry.hasBuilder = true;
      entry.running = builder.running();
      entry.waitingForUser = builder.waitsForUser();
      // The builder holds one ad, made for the first key.
      if (!entry.keys.empty() && builder.rewardedAd()) {
        entry.keys.front().ad = record(*builder.rewardedAd(), *builder.reporter(), now);
      }
    }
    result.placements.push_back(std::move(entry));
  }
  for (const auto& [placement, placementConfig] : config_->appOpenPlacements()) {
    Snapshot::Placement entry{
        AdsPlacement::appOpen(placement), placementConfig.source(), {}, false, false, false};
    if (auto found = appOpenAdBuilders_.find(placement); found != appOpenAdBuilders_.end()) {
      entry.hasBuilder = true;
      entry.running = found->second->running();
      entry.waitingForUser = found->second->waitsForUser();
      entry.keys = waterfallKeys(*found->second, now);
    } else {
      entry.keys = configuredKeys(placementConfig);
    }
    result.placements.push_back(std::move(entry));
  }
  return result;
}

}  // namespace QVRAdKit
