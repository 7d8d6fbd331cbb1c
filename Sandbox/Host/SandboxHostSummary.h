#pragma once
// SandboxHostSummary is what one sandbox session adds up to: start-up runs, the interstitials the
// ads service granted, handed out ready and saw opened per placement, the app-open and rewarded
// ads shown, the requests, loads and load failures each network reported to analytics, and the
// number of analytics events, and the ads pause left at the end. text() renders it for people,
// one fact per line; json() renders it for programs, as one JSON object whose keys always come
// in the same order.
// A plain value.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "QVRAdKit/Config/AppOpenAdPlacement.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"
#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit::Sandbox {

struct SandboxHostSummary {
  struct Interstitials {
    int granted = 0;    // the host was told to show one (or, at launch, allowed to)
    int handedOut = 0;  // a ready ad came back
    int shown = 0;      // the ad opened
    int withheld = 0;   // granted by the ads service while the ads pause lasted: not presented
    bool operator==(const Interstitials&) const = default;
  };
  struct Network {
    int requests = 0;
    int loads = 0;
    int failures = 0;
    bool operator==(const Network&) const = default;
  };

  Platform::TimeInterval simulatedSeconds = 0;
  // Asked to stop (a signal) before the session's end: the rest covers simulatedSeconds only.
  bool stopped = false;
  std::uint64_t seed = 0;
  int runs = 0;
  bool consentFormShown = false;
  // Whether the user got to the end of the form (answered, or the form failed) before the end.
  bool consentFormAnswered = false;
  // Whether the consent answer allows personalised ads (false without an answer).
  bool personalizedAds = false;
  // Every interstitial placement, configured or not.
  std::map<InterstitialAdPlacement, Interstitials> interstitials{
      {InterstitialAdPlacement::connect, {}},
      {InterstitialAdPlacement::disconnect, {}},
      {InterstitialAdPlacement::appLaunch, {}}};
  std::map<AppOpenAdPlacement, int> appOpenShown{{AppOpenAdPlacement::main, 0},
                                                 {AppOpenAdPlacement::appLaunch, 0}};
  // Moments the host wanted an app-open ad (back after a long enough absence, or a launch allowed
  // one) and asked the ads service for it.
  std::map<AppOpenAdPlacement, int> appOpenWanted{{AppOpenAdPlacement::main, 0},
                                                  {AppOpenAdPlacement::appLaunch, 0}};
  // Time-wall visits for which the ads service allowed a rewarded video (ready or not).
  int rewardedOffered = 0;
  int rewardedShown = 0;
  int rewardsEarned = 0;
  // By the network name the analytics events carry ("admob", "ironsource").
  std::map<std::string, Network> networks;
  std::int64_t events = 0;
  // Analytics events that were tracked but could not be written to the events file.
  std::int64_t eventsLost = 0;
  // Seconds of ads pause left when the session ended; none when ads were not paused.
  std::optional<Platform::TimeInterval> adsPauseRemaining;

  [[nodiscard]] std::string text() const;
  // {"simulatedSeconds":..,"seed":..,"startupRuns":..,"consentFormShown":..,"consentFormAnswered":..,
  //  "personalizedAds":..,
  //  "interstitials":{"connect":{"granted":..,"handedOut":..,"shown":..,"withheld":..},..},
  //  "appOpenShown":{"main":..,"appLaunch":..},"rewardedShown":..,"rewardsEarned":..,
  //  "networks":{"admob":{"requests":..,"loads":..,"failures":..},..},
  //  "events":{"written":..,"lost":..},"adsPauseRemainingSeconds":null or seconds}, and
  //  "stopped":true last when the session was stopped before its end
  // on one line, without a newline at the end.
  [[nodiscard]] std::string json() const;
};

}  // namespace QVRAdKit::Sandbox
