#pragma once
// AdsServiceSnapshot is a read-only picture of an ads service at one moment, for a host's
// diagnostics screen, a bug report or a log: every configured placement with its network and its
// ad-unit keys in waterfall order, the ad held for each key (state, age, uuid), the consent state
// as the consent service knows it, the stored pause date, the last interstitial grants and whether
// a start-up run is in progress. AdsService::snapshot() takes one.
//
// Taking a snapshot changes nothing: it subscribes to nothing, loads nothing, logs nothing, sends
// no analytics event and replaces no ad, so a host may take one at any moment, as often as it
// likes. The snapshot is a plain value: copy it, keep it, read it on any thread.
//
// Example:
//   const AdsServiceSnapshot snapshot = ads->snapshot();
//   for (const auto& placement : snapshot.placements) {
//     for (const auto& key : placement.keys) {
//       std::string state = key.ad ? std::string(caseName(key.ad->state)) : "no ad";
//       log(placement.placement.description() + " " + key.key + ": " + state);
//     }
//   }
//
// What the ad states mean:
// - idle: the ad object exists but was never asked to load (the rewarded ad of a builder that has
//   not started).
// - loading: the ad was requested and has neither loaded nor failed yet. An interstitial whose
//   load ended with neither an ad nor an error also counts here: like the waterfall, which passes
//   over it as still loading, the snapshot cannot tell it from one still waiting for its network.
// - loaded: the ad can be handed out now.
// - failed: the load failed (interstitial, app-open: for good; the waterfall replaces the ad the
//   next time the service looks for one). For the reusable rewarded ad: its last load or showing
//   ended without an ad, and it waits for the next load.
// - expired: an app-open ad that loaded but is too old to be shown; it keeps its key occupied
//   until the builder's cache is reset.
// - used: the ad held for the key was shown and closed. Handing an interstitial or app-open ad to
//   the host takes it out of the waterfall and puts a fresh one in its place at once, so a key
//   shows "used" only for an ad the host presented without taking it from the service; the ad
//   handed out is no longer the key's ad and its key shows its replacement (with a new uuid).
//
// The age of an ad is measured from when it loaded where the ad knows that (app-open ads), and
// otherwise from its last request (kept by the builder's reporter, which also restarts it when a
// rewarded ad is opened); ageOrigin says which. No age is given when neither is known.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Config/AdsPlacement.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Services/AdsService/StartUpRunState.h"

namespace QVRAdKit {

struct AdsServiceSnapshot {
  enum class AdState { idle, loading, loaded, failed, expired, used };
  enum class AgeOrigin { requested, loaded };
  // The consent status as the consent platform reports it: unknown (not asked yet), consent
  // required and not given, not required (outside the GDPR), obtained.
  enum class ConsentStatus { unknown, required, notRequired, obtained };

  // The ad object a builder holds for one key.
  struct Ad {
    std::string uuid;  // the ad's identity in analytics; empty for an ad type that has none
    AdState state = AdState::loading;
    std::optional<Platform::TimeInterval> age;  // seconds, see ageOrigin
    AgeOrigin ageOrigin = AgeOrigin::requested;
  };

  // One ad-unit key of a placement, in waterfall order; no ad when the builder holds none for it
  // (not started, premium user, or a key past the first of a rewarded placement).
  struct Key {
    std::string key;
    std::optional<Ad> ad;
  };

  struct Placement {
    AdsPlacement placement;
    AdSource source = AdSource::adMob;
    // The keys the builder works with (each once), or the configured keys without a builder.
    std::vector<Key> keys;
    // A rewarded placement without keys has no builder; a run in progress may not have built the
    // placement's builder yet.
    bool hasBuilder = false;
    // The builder was started and reacts to the user.
    bool running = false;
    // Running, but the host's user stream has given no signed-in user (its last value was none):
    // the builder loads nothing until a user comes.
    bool waitingForUser = false;
  };

  struct Consent {
    bool hasService = false;  // false: the ads service was built without a consent service
    ConsentStatus status = ConsentStatus::unknown;
    bool formLoaded = false;  // a consent form is loaded for the host to present
    bool personalizedAdsAllowed = false;
  };

  Platform::Date takenAt;
  // A start-up run has stored a configuration.
  bool configured = false;
  // At least one start-up run was started and has not ended yet.
  bool runInProgress = false;
  // A start-up run has ended (with or without ads) since the service was made.
  bool runHasEnded = false;
  // How the last start-up run that ended ended, a consent error included (which runHasEnded
  // does not count: such a run leaves the launch stream silent); none before any ended.
  std::optional<StartUpOutcome> lastRunOutcome;
  // The consent platform's error text when the last run ended on consentError.
  std::string lastRunError;
  // The step the latest run in progress waits on and since when: the consent update, the
  // configuration or a network's start. None when no run waits. A run waits without a time limit,
  // so a step that never answers shows here for as long as it lasts.
  std::optional<StartUpWait> runWaitsOn;
  // The end of the ads pause stored in the host's storage, whether it lies in the future or not;
  // none when nothing (readable) is stored.
  std::optional<Platform::Date> pausedTill;
  // Something is stored under the pause key that is not a date, or reading it failed.
  bool pausedTillUnreadable = false;
  // When interstitialTypeToPresent() last granted each interstitial placement.
  std::map<InterstitialAdPlacement, Platform::Date> lastGrants;
  Consent consent;
  // Interstitial placements, then rewarded, then app-open, each in enumeration order.
  std::vector<Placement> placements;

  // Whether the stored pause holds ads back at takenAt.
  [[nodiscard]] bool isPaused() const { return pausedTill && takenAt < *pausedTill; }
  // The placement's record, or nullptr when it is not configured.
  [[nodiscard]] const Placement* placement(const AdsPlacement& placement) const;
};

// The case names: "idle", "loading", "loaded", "failed", "expired", "used".
[[nodiscard]] std::string_view caseName(AdsServiceSnapshot::AdState state);
// "unknown", "required", "notRequired", "obtained".
[[nodiscard]] std::string_view caseName(AdsServiceSnapshot::ConsentStatus status);

}  // namespace QVRAdKit
