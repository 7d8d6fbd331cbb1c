// SandboxHostSummary::json(): the summary for scripts and CI. The keys are written in a fixed
// order (ordered_json keeps insertion order), every placement always appears, and nothing depends
// on the locale.
#include <nlohmann/json.hpp>

#include "Sandbox/Host/SandboxHostSummary.h"

namespace QVRAdKit::Sandbox {

std::string SandboxHostSummary::json() const {
  using Json = nlohmann::ordered_json;
  Json root = Json::object();
  root["simulatedSeconds"] = simulatedSeconds;
  root["seed"] = seed;
  root["startupRuns"] = runs;
  root["consentFormShown"] = consentFormShown;
  root["consentFormAnswered"] = consentFormAnswered;
  root["personalizedAds"] = personalizedAds;
  Json placements = Json::object();
  for (const auto& [placement, counts] : interstitials) {
    placements[std::string(caseName(placement))] = Json{{"granted", counts.granted},
                                                        {"handedOut", counts.handedOut},
                                                        {"shown", counts.shown},
                                                        {"withheld", counts.withheld}};
  }
  root["interstitials"] = std::move(placements);
  Json appOpens = Json::object();
  for (const auto& [placement, shown] : appOpenShown) {
    appOpens[std::string(caseName(placement))] = shown;
  }
  root["appOpenShown"] = std::move(appOpens);
  root["rewardedShown"] = rewardedShown;
  root["rewardsEarned"] = rewardsEarned;
  Json byNetwork = Json::object();
  for (const auto& [name, counts] : networks) {
    byNetwork[name] =
        Json{{"requests", counts.requests}, {"loads", counts.loads}, {"failures", counts.failures}};
  }
  root["networks"] = std::move(byNetwork);
  root["events"] = Json{{"written", events}, {"lost", eventsLost}};
  root["adsPauseRemainingSeconds"] = adsPauseRemaining ? Json(*adsPauseRemaining) : Json(nullptr);
  // Only on a session cut short, so that a whole session's summary keeps its keys.
  if (stopped) root["stopped"] = true;
  return root.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace QVRAdKit::Sandbox
