#include "QVRAdKit/Services/AdsService/IntegrationConfigCheck.h"

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "QVRAdKit/Config/AdsPlacement.h"

namespace QVRAdKit {
namespace {

AdsPlacement placementOf(InterstitialAdPlacement key) {
  return AdsPlacement::interstitial(key);
}
AdsPlacement placementOf(RewardedAdPlacement key) {
  return AdsPlacement::rewarded(key);
}
AdsPlacement placementOf(AppOpenAdPlacement key) {
  return AdsPlacement::appOpen(key);
}

std::string secondsText(double seconds) {
  std::ostringstream text;
  text << seconds;
  return text.str();
}

bool isKnown(AdSource source) {
  return source == AdSource::adMob || source == AdSource::ironSource;
}

// What each kind of placement does with its values, for the texts of its entries.
struct Kind {
  // What a bad timeout breaks; empty for a kind whose timeout nobody uses.
  std::string_view timeoutUse;
  // What a placement of the kind without keys still does.
  std::string_view withoutKeys;
  bool rewarded = false;
  bool appOpen = false;
};

constexpr Kind kInterstitial{
    "its interval between grants no longer holds.",
    "interstitialTypeToPresent() still grants it and starts its interval, while shouldShowAd() "
    "says no and interstitialAd() gives none."};
constexpr Kind kRewarded{"", "it gets no ad loader and rewardedAd() gives none.", true};
constexpr Kind kAppOpen{"the app-open timeout you read is that value.",
                        "shouldShowAd() says no and appOpenAd() gives none.", false, true};

class PlacementChecker {
 public:
  PlacementChecker(const AdsConfig& config, IntegrationReport& report)
      : config_(config), report_(report) {}

  template <class Placements>
  void check(const Placements& placements, const Kind& kind) {
    for (const auto& [key, placement] : placements) {
      const std::string piece = "placement " + placementOf(key).description();
      checkTimeout(piece, placement.timeout(), kind);
      checkSource(piece, placement.source(), kind);
      checkKeys(piece, placement.keys(), kind);
    }
  }

 private:
  void warn(const std::string& piece, std::string problem, std::string fix) {
    report_.issues.push_back(
        {IntegrationIssue::Severity::warning, piece, std::move(problem), std::move(fix)});
  }

  void checkTimeout(const std::string& piece, double timeout, const Kind& kind) {
    if (kind.timeoutUse.empty() || (std::isfinite(timeout) && timeout >= 0)) return;
    warn(piece,
         "Its timeout (" + secondsText(timeout) +
             ") is not a finite number of seconds from 0 up: " + std::string(kind.timeoutUse),
         "Configure a timeout of 0 or more seconds.");
  }

  void checkSource(const std::string& piece, AdSource source, const Kind& kind) {
    if (!isKnown(source)) {
      warn(piece,
           "Its network (AdSource value " + std::to_string(static_cast<int>(source)) +
               ") is none the module knows: it is served as an adMob placement.",
           "Serve it from AdSource::adMob or AdSource::ironSource.");
      return;
    }
    const std::string name(caseName(source));
    if (!config_.sources().contains(source)) {
      warn(piece,
           "Its network, " + name +
               ", is not under sources: the module never starts that network, yet asks it for ads.",
           "List " + name + " under sources, or serve the placement from a network listed there.");
    }
    if (kind.appOpen && source == AdSource::ironSource) {
      warn(piece,
           "It is served by ironSource, which has no app-open ads: the module loads Google Mobile "
           "Ads app-open ads with its keys instead.",
           "Serve app-open placements from adMob, with AdMob ad-unit keys.");
    }
  }

  void checkKeys(const std::string& piece, const std::vector<std::string>& keys, const Kind& kind) {
    if (keys.empty()) {
      warn(piece,
           "It has no ad-unit keys: no ad is ever loaded for it; " + std::string(kind.withoutKeys),
           "Give it at least one ad-unit key, or leave the placement out.");
      return;
    }
    bool emptyReported = false;
    std::set<std::string_view> seen;
    for (const auto& adKey : keys) {
      if (adKey.empty() && !std::exchange(emptyReported, true)) {
        warn(piece, "One of its ad-unit keys is empty: the network is asked for an ad of no unit.",
             "Remove the empty key, or give the unit's identifier.");
      }
      // Interstitial and app-open placements keep a repeated key once and log it.
      if (kind.rewarded && !seen.insert(adKey).second) {
        warn(piece,
             "Its ad-unit key \"" + adKey +
                 "\" is listed more than once: a rewarded placement loads its first key only, so "
                 "the repeat is never used.",
             "List each ad-unit key once.");
      }
    }
  }

  const AdsConfig& config_;
  IntegrationReport& report_;
};

}  // namespace

void checkConfiguration(const AdsConfig& config, IntegrationReport& report) {
  // A remote configuration that failed to map onto placements often arrives as an empty one; the
  // service then quietly answers no ad everywhere, so it is said here, once, not per placement.
  if (config.interstitialPlacements().empty() && config.rewardedPlacements().empty() &&
      config.appOpenPlacements().empty()) {
    report.issues.push_back(
        {IntegrationIssue::Severity::warning, "configuration",
         "The configuration has no placements: no ad loads, and every decision answers no ad.",
         "Configure the placements the app shows ads at (interstitial, rewarded, app-open); leave "
         "it empty only in an app that is meant to show no ads."});
  }
  for (const auto& [source, key] : config.sources()) {
    if (source != AdSource::ironSource || (key && !key->empty())) continue;
    report.issues.push_back(
        {IntegrationIssue::Severity::warning, "IronSource application key",
         key ? "ironSource is listed under sources with an empty application key: the module "
               "starts IronSource with no key, so the placements it serves load nothing."
             : "ironSource is listed under sources without an application key: the module does "
               "not start IronSource, so the placements it serves load nothing.",
         "Give the key with the source: {AdSource::ironSource, \"your-app-key\"}."});
  }
  PlacementChecker checker(config, report);
  checker.check(config.interstitialPlacements(), kInterstitial);
  checker.check(config.rewardedPlacements(), kRewarded);
  checker.check(config.appOpenPlacements(), kAppOpen);
}

}  // namespace QVRAdKit
