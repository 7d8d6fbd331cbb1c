#include "Sandbox/MonteCarlo/SessionPlayer.h"

#include <string>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {

SessionPlayer::SessionPlayer(const SandboxConfiguration& configuration,
                             Platform::TimeInterval duration, bool premium)
    : statistics_(std::make_shared<StatisticsReporting>(configuration.ads)) {
  options_.configuration = configuration;
  options_.sharedGoogleMobileAds =
      std::make_shared<const SimulatedGoogleMobileAds::PreparedConfiguration>(
          configuration.googleMobileAds);
  options_.sharedIronSource =
      std::make_shared<const SimulatedIronSource::Configuration>(configuration.ironSource);
  options_.duration = duration;
  options_.premium = premium;
  options_.storagePath = std::string(SQLiteKeyValueStore::kInMemoryPath);
  options_.reporting = statistics_;
  options_.countEvents = false;  // the statistics count them
  options_.backgroundThreads = Platform::BackgroundExecutor::kDrainedByHand;
}

Platform::Expected<SessionStatistics> SessionPlayer::play(std::uint64_t seed) {
  statistics_->reset();
  options_.seed = seed;
  auto summary = SandboxHost::run(options_);
  if (!summary) return summary.error();
  addHostMoments(*summary);
  return statistics_->statistics();
}

// The moments the host had for an ad, the ads that opened and the rewards earned, on every
// configured placement (so that an idle one still shows as a row).
void SessionPlayer::addHostMoments(const SandboxHostSummary& summary) {
  StatisticsReporting& statistics = *statistics_;
  statistics.touchConfiguredPlacements();
  for (const auto& [placement, counts] : summary.interstitials) {
    if (counts.granted == 0 && counts.shown == 0) continue;
    auto& row = statistics.placementRow("interstitial", caseName(placement));
    row.opportunities += static_cast<std::uint64_t>(counts.granted);
    row.shows += static_cast<std::uint64_t>(counts.shown);
  }
  for (const auto& [placement, wanted] : summary.appOpenWanted) {
    const auto shown = summary.appOpenShown.find(placement);
    const int shows = shown == summary.appOpenShown.end() ? 0 : shown->second;
    if (wanted == 0 && shows == 0) continue;
    auto& row = statistics.placementRow("appOpen", caseName(placement));
    row.opportunities += static_cast<std::uint64_t>(wanted);
    row.shows += static_cast<std::uint64_t>(shows);
  }
  if (summary.rewardedOffered != 0 || summary.rewardedShown != 0 || summary.rewardsEarned != 0) {
    auto& row = statistics.placementRow("rewarded", caseName(RewardedAdPlacement::timewall));
    row.opportunities += static_cast<std::uint64_t>(summary.rewardedOffered);
    row.shows += static_cast<std::uint64_t>(summary.rewardedShown);
    row.rewards += static_cast<std::uint64_t>(summary.rewardsEarned);
    const auto& rewarded = options_.configuration.ads.rewardedPlacements();
    if (const auto found = rewarded.find(RewardedAdPlacement::timewall); found != rewarded.end()) {
      const bool adMob = found->second.source() == AdSource::adMob;
      statistics.networkRow(adMob ? "admob" : "ironsource").rewards +=
          static_cast<std::uint64_t>(summary.rewardsEarned);
    }
  }
}

}  // namespace QVRAdKit::Sandbox
