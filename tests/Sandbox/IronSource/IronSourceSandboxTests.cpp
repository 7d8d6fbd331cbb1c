#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"
#include "Sandbox/IronSource/SimulatedIronSource.h"

namespace QVRAdKit::Sandbox {
namespace {

using Strings = std::vector<std::string>;
using ::testing::ElementsAre;

// Records the callbacks of both ad slots as "<whole seconds since it was made> <event> <details>";
// an override serves every delegate that declares the same callback.
class Recorder final : public LevelPlayInterstitialDelegate,
                       public LevelPlayRewardedVideoDelegate,
                       public LevelPlayRewardedVideoManualDelegate {
 public:
  void didLoadWithAdInfo(const ISAdInfo& info) override { add("load" + of(info)); }
  void didFailToLoadWithError(const Platform::Error& error) override { add("fail" + of(error)); }
  void didOpenWithAdInfo(const ISAdInfo& info) override { add("open" + of(info)); }
  void didShowWithAdInfo(const ISAdInfo& info) override { add("show" + of(info)); }
  void didFailToShowWithError(const Platform::Error& error, const ISAdInfo&) override {
    add("failToShow" + of(error));
  }
  void didClickWithAdInfo(const ISAdInfo& info) override { add("click" + of(info)); }
  void didCloseWithAdInfo(const ISAdInfo& info) override { add("close" + of(info)); }
  void hasAvailableAdWithAdInfo(const ISAdInfo& info) override { add("available" + of(info)); }
  void hasNoAvailableAd() override { add("unavailable"); }
  void didReceiveRewardForPlacement(const ISPlacementInfo& placement, const ISAdInfo&) override {
    add("reward " + placement.rewardName + " " + placement.placementName);
  }
  void didClick(const ISPlacementInfo&, const ISAdInfo& info) override { add("click" + of(info)); }

  Strings trace;

 private:
  static std::string of(const ISAdInfo& info) { return " " + info.ad_unit + "/" + info.ad_network; }
  static std::string of(const Platform::Error& error) {
    // Appended rather than `" " + std::to_string(...)`: g++ 12 at -O3 reports a false -Wrestrict
    // overlap in the string insert that the latter compiles to.
    std::string text = " ";
    text += std::to_string(error.code);
    return text;
  }
  void add(const std::string& event) {
    const auto seconds = Platform::Environment::current().clock().now().timeIntervalSince(start_);
    trace.push_back(std::to_string(static_cast<int>(seconds)) + " " + event);
  }
  Platform::Date start_ = Platform::Environment::current().clock().now();
};

// A fresh environment with sdk installed and every delegate recording from the start.
struct Simulation {
  explicit Simulation(const std::shared_ptr<IronSourceSandbox>& sdk) {
    sdk->install(*environment);
    IronSource::setLevelPlayInterstitialDelegate(*environment, recorder);
    IronSource::setLevelPlayRewardedVideoDelegate(*environment, recorder);
    IronSource::setLevelPlayRewardedVideoManualDelegate(*environment, recorder);
  }
  explicit Simulation(SimulatedIronSource::Configuration configuration)
      : Simulation(SimulatedIronSource::create(std::move(configuration))) {}
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST(ScriptedIronSourceTest, LoadsWaitForTheTestsAnswerAndTriggersReachTheDelegate) {
  auto sdk = ScriptedIronSource::create();
  Simulation simulation(sdk);
  EXPECT_FALSE(sdk->fillInterstitialLoad("UnityAds"));  // nothing asked yet
  IronSource::loadInterstitial(*simulation.environment);
  EXPECT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_FALSE(sdk->fillInterstitialLoad("UnityAds"));  // one pending load, one answer
  IronSource::showInterstitialWithViewController(*simulation.environment, nullptr, "connect");
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialClose();
  EXPECT_THAT(simulation.recorder->trace,
              ElementsAre("0 load interstitial/UnityAds", "0 open interstitial/UnityAds",
                          "0 close interstitial/UnityAds"));
}

// The trace of 24 interstitial loads, four seconds apart (past the longest latency).
Strings play(std::uint64_t seed, double fillRate) {
  SimulatedIronSource::Configuration configuration;
  configuration.seed = seed;
  configuration.interstitial.fillRate = fillRate;
  Simulation simulation(std::move(configuration));
  for (int round = 0; round < 24; ++round) {
    IronSource::loadInterstitial(*simulation.environment);
    simulation.environment->advance(4);
  }
  return simulation.recorder->trace;
}

TEST(SimulatedIronSourceTest, TheSeedDecidesTheOutcomesAndFillRateZeroAlwaysFails) {
  const Strings first = play(7, 0.5);
  EXPECT_EQ(play(7, 0.5), first);
  EXPECT_NE(play(8, 0.5), first);
  EXPECT_THAT(play(7, 0), ::testing::Each(::testing::HasSubstr(" fail 100")));
}

TEST(SimulatedIronSourceTest, LoadsAnswerOnTheClockAdsCloseThemselvesAndCappingCountsAnHour) {
  SimulatedIronSource::Configuration configuration;
  for (auto* profile : {&configuration.interstitial, &configuration.rewardedVideo}) {
    profile->fillRate = profile->minimumLatency = profile->maximumLatency = 1;
    profile->adNetworks = {"UnityAds"};
    profile->onScreenDuration = 15;
  }
  configuration.reward = {"coins", Platform::Decimal::fromInt(3), "Home"};
  configuration.interstitialShowsPerHour["connect"] = 2;
  Simulation simulation(configuration);
  Platform::Environment& environment = *simulation.environment;
  const Strings& trace = simulation.recorder->trace;
  IronSource::loadRewardedVideo(*simulation.environment);
  environment.advance(1);
  IronSource::showRewardedVideoWithViewController(*simulation.environment, nullptr);
  EXPECT_EQ(trace.size(), 1u);  // delivered from the main queue, not the caller's stack
  environment.advance(15);
  EXPECT_THAT(trace, ElementsAre("1 load rewardedvideo/UnityAds", "1 open rewardedvideo/UnityAds",
                                 "16 reward coins Home", "16 close rewardedvideo/UnityAds"));

  // Shown at 17 s and 33 s, then refused at 49 s.
  for (const bool cappedAfter : {false, true, true}) {
    IronSource::loadInterstitial(*simulation.environment);
    environment.advance(1);
    IronSource::showInterstitialWithViewController(*simulation.environment, nullptr, "connect");
    environment.advance(15);
    EXPECT_EQ(IronSource::isInterstitialCappedForPlacement(*simulation.environment, "connect"),
              cappedAfter);
  }
  EXPECT_EQ(trace.back(), "49 failToShow 2002");
  environment.advance(3617 - 64 - 0.5);  // half a second before the first show leaves the hour
  EXPECT_TRUE(IronSource::isInterstitialCappedForPlacement(*simulation.environment, "connect"));
  environment.advance(0.5);
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement(*simulation.environment, "connect"));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
