#include "Sandbox/Host/SandboxHostSummary.h"

#include <cstdio>
#include <string_view>

#include "Sandbox/Host/SandboxNarration.h"
#include "Sandbox/Text/Format.h"

namespace QVRAdKit::Sandbox {
namespace {

using Text::format;

}  // namespace

std::string SandboxHostSummary::text() const {
  std::string out;
  // A whole run lasted the minutes asked for, shown as given (0.5, 1.25, 10080), as the Monte
  // Carlo headings show them; a run stopped early, the whole minutes it got through.
  const std::string minutes = format(stopped ? "%.0f" : "%.12g", simulatedSeconds / 60);
  out += format("Summary: %s simulated minute%s, seed %llu%s\n", minutes.c_str(),
                minutes == "1" ? "" : "s", static_cast<unsigned long long>(seed),
                stopped ? " (stopped early)" : "");
  out += format("Start-up runs: %d; %s\n", runs,
                !consentFormShown      ? "no consent form"
                : !consentFormAnswered ? "consent form shown, not answered before the end"
                : personalizedAds      ? "consent form answered, personalised ads allowed"
                                       : "consent form answered, personalised ads not allowed");
  out += "Interstitials      granted  ready  shown\n";
  for (const auto& [placement, counts] : interstitials) {
    out += format("  %-14s %9d %6d %6d\n", std::string(caseName(placement)).c_str(), counts.granted,
                  counts.handedOut, counts.shown);
  }
  auto appOpens = [this](AppOpenAdPlacement placement) {
    const auto found = appOpenShown.find(placement);
    return found == appOpenShown.end() ? 0 : found->second;
  };
  out += format("App-open shown: main %d, appLaunch %d\n", appOpens(AppOpenAdPlacement::main),
                appOpens(AppOpenAdPlacement::appLaunch));
  out += format("Rewarded videos shown: %d; rewards earned: %d\n", rewardedShown, rewardsEarned);
  out += "Networks         requests  loads  failures\n";
  if (networks.empty()) out += "  (no ad requests)\n";
  for (const auto& [name, counts] : networks) {
    out += format("  %-14s %10d %6d %9d\n", name.c_str(), counts.requests, counts.loads,
                  counts.failures);
  }
  out += format("Analytics events written: %lld\n", static_cast<long long>(events));
  // Only when there is something to say, so that a plain session reads as it always did.
  if (eventsLost > 0) {
    out += format("Analytics events lost (the events file could not be written): %lld\n",
                  static_cast<long long>(eventsLost));
  }
  int withheld = 0;
  for (const auto& [placement, counts] : interstitials) withheld += counts.withheld;
  if (withheld > 0) {
    out += "Interstitials withheld while ads were paused:";
    const char* separator = " ";
    for (const auto& [placement, counts] : interstitials) {
      if (counts.withheld == 0) continue;
      out += separator + std::string(caseName(placement)) + " " + std::to_string(counts.withheld);
      separator = ", ";
    }
    out += "\n";
  }
  if (adsPauseRemaining) {
    out += "Ads paused at the end, for another " + SandboxNarration::seconds(*adsPauseRemaining) +
           "\n";
  }
  return out;
}

}  // namespace QVRAdKit::Sandbox
