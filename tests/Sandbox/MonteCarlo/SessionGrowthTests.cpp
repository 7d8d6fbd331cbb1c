#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"
#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/IronSource/IronSourceSandbox.h"
#include "Sandbox/MonteCarlo/StatisticsReporting.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {
namespace {

// What a session holds at its end, in the sandbox's own containers.
struct Held {
  std::uint64_t requests = 0;         // reported by the module, for scale
  std::size_t googleRequests = 0;     // requests the simulated Google Mobile Ads remembers
  std::size_t ironSourceRecords = 0;  // shows and capping queries the IronSource stand-in kept
  std::size_t queuedTasks = 0;        // main-queue tasks still waiting
  std::size_t waitingForAnswers = 0;  // requests the statistics sink remembers
};

Held playFor(double minutes) {
  Held held;
  SandboxHostOptions options;
  options.seed = 3;
  options.duration = minutes * 60;
  options.storagePath = std::string(SQLiteKeyValueStore::kInMemoryPath);
  auto statistics = std::make_shared<StatisticsReporting>(options.configuration.ads);
  options.reporting = statistics;
  options.atEnd = [&held](Platform::Environment& environment) {
    held.googleRequests =
        environment.service<SimulatedGoogleMobileAds>()->sandbox()->requests().size();
    auto ironSource =
        std::dynamic_pointer_cast<IronSourceSandbox>(environment.service<IronSourceSDK>());
    held.ironSourceRecords = ironSource->interstitialShows().size() +
                             ironSource->rewardedVideoShows().size() +
                             ironSource->cappingQueries().size();
    held.queuedTasks = environment.mainQueue().pendingCount();
  };
  auto summary = SandboxHost::run(options);
  EXPECT_TRUE(summary.hasValue());
  for (const auto& [name, row] : statistics->statistics().networks) held.requests += row.requests;
  held.waitingForAnswers = statistics->pendingCount();
  return held;
}

// Four times the simulated time makes about four times the requests, but the sandbox keeps no
// more of them: only what is in flight or cached at the end.
TEST(SessionGrowthTest, TheSandboxHoldsNoMoreAfterFourTimesTheTime) {
  const Held shorter = playFor(240);
  const Held longer = playFor(960);
  ASSERT_GT(shorter.requests, 20u);
  EXPECT_GT(longer.requests, shorter.requests * 3);

  // At most two per AdMob key (the cached ad and its replacement's request), whatever the length.
  constexpr std::size_t kAdMobKeys = 7;
  for (const Held* held : {&shorter, &longer}) {
    EXPECT_LE(held->googleRequests, 2 * kAdMobKeys);
    EXPECT_EQ(held->ironSourceRecords, 0u);
    EXPECT_LE(held->queuedTasks, 16u);
    EXPECT_LE(held->waitingForAnswers, StatisticsReporting::kPendingLimit);
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
