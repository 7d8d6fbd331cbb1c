#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "Ads/IronSource/IronSourceTestSupport.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"
#include "Sandbox/IronSource/IronSourceRecorders.h"
#include "Sandbox/IronSource/SimulatedIronSource.h"

namespace QVRAdKit::Sandbox {
namespace {

using IronSourceTesting::InitializationRecorder;
using IronSourceTesting::InterstitialRecorder;
using IronSourceTesting::RewardedRecorder;
using IronSourceTesting::Trace;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Plays a fixed sequence of requests against a fresh simulated SDK and returns what it delivered,
// with clock offsets.
Trace play(std::uint64_t seed) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  SimulatedIronSource::Configuration configuration;
  configuration.seed = seed;
  configuration.interstitial.fillRate = 0.5;
  auto sdk = SimulatedIronSource::create(configuration);
  sdk->install(*environment);
  auto trace = std::make_shared<Trace>();
  auto initialization = std::make_shared<InitializationRecorder>(trace);
  auto interstitial = std::make_shared<InterstitialRecorder>(trace);
  auto rewarded = std::make_shared<RewardedRecorder>(trace);
  IronSource::initWithAppKey("key", {"rewardedvideo", "interstitial"}, initialization);
  IronSource::setLevelPlayInterstitialDelegate(interstitial);
  IronSource::setLevelPlayRewardedVideoDelegate(rewarded);
  IronSource::setLevelPlayRewardedVideoManualDelegate(rewarded);
  environment->advance(2);
  for (int round = 0; round < 24; ++round) {
    IronSource::loadInterstitial();
    IronSource::loadRewardedVideo();
    environment->advance(4);  // past the longest latency
    if (IronSource::hasInterstitial()) {
      IronSource::showInterstitialWithViewController(nullptr, "connect");
      environment->advance(20);  // past the on-screen duration
    }
  }
  return *trace;
}

TEST(SimulatedIronSourceTest, TheSameSeedReplaysTheSameRunAndAnotherSeedDoesNot) {
  const Trace first = play(7);
  EXPECT_EQ(play(7), first);
  EXPECT_NE(play(8), first);

  EXPECT_EQ(first.front(), "1 initialized");
  EXPECT_THAT(first, Contains(HasSubstr("i.load interstitial/")));
  EXPECT_THAT(first, Contains(HasSubstr("i.fail 100")));
  EXPECT_THAT(first, Contains(HasSubstr("i.close interstitial/")));
  EXPECT_THAT(first, Contains(HasSubstr("r.load rewardedvideo/")));
}

class SimulatedIronSourceFixture : public ::testing::Test {
 protected:
  void install(SimulatedIronSource::Configuration configuration) {
    sdk = SimulatedIronSource::create(std::move(configuration));
    sdk->install(*environment);
    IronSource::setLevelPlayInterstitialDelegate(interstitial);
    IronSource::setLevelPlayRewardedVideoDelegate(rewarded);
    IronSource::setLevelPlayRewardedVideoManualDelegate(rewarded);
  }
  static SimulatedIronSource::Configuration alwaysFilling() {
    SimulatedIronSource::Configuration configuration;
    configuration.interstitial.fillRate = 1;
    configuration.interstitial.minimumLatency = configuration.interstitial.maximumLatency = 1;
    configuration.interstitial.adNetworks = {"UnityAds"};
    configuration.rewardedVideo = configuration.interstitial;
    configuration.rewardedVideo.adUnit = "rewardedvideo";
    configuration.rewardedVideo.onScreenDuration = 30;
    return configuration;
  }
  void loadAndShowInterstitial(const std::string& placement) {
    IronSource::loadInterstitial();
    environment->advance(1);
    IronSource::showInterstitialWithViewController(nullptr, placement);
    environment->advance(15);
  }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Trace> trace = std::make_shared<Trace>();
  std::shared_ptr<InterstitialRecorder> interstitial =
      std::make_shared<InterstitialRecorder>(trace);
  std::shared_ptr<RewardedRecorder> rewarded = std::make_shared<RewardedRecorder>(trace);
  std::shared_ptr<SimulatedIronSource> sdk;
};

TEST_F(SimulatedIronSourceFixture, LoadsAnswerAfterTheLatencyAndShownAdsCloseThemselves) {
  install(alwaysFilling());
  IronSource::loadInterstitial();
  environment->advance(0.999);
  EXPECT_THAT(*trace, IsEmpty());
  environment->advance(0.001);
  EXPECT_THAT(*trace, ElementsAre("1 i.load interstitial/UnityAds"));

  IronSource::showInterstitialWithViewController(nullptr, "connect");
  EXPECT_EQ(trace->size(), 1u);  // delivered from the main queue, not the caller's stack
  environment->advance(14.9);
  EXPECT_THAT(*trace,
              ElementsAre("1 i.load interstitial/UnityAds", "1 i.open interstitial/UnityAds",
                          "1 i.show interstitial/UnityAds"));
  environment->advance(0.1);
  EXPECT_EQ(trace->back(), "16 i.close interstitial/UnityAds");

  // Nothing left to show: refused.
  IronSource::showInterstitialWithViewController(nullptr, "connect");
  environment->advance(0);
  EXPECT_EQ(trace->back(), "16 i.failToShow 2001");
}

TEST_F(SimulatedIronSourceFixture, ARewardedVideoGrantsTheRewardThenCloses) {
  auto configuration = alwaysFilling();
  configuration.reward = {"coins", Platform::Decimal::fromInt(3), "Home"};
  install(configuration);
  IronSource::showRewardedVideoWithViewController(nullptr);
  IronSource::loadRewardedVideo();
  environment->advance(1);
  IronSource::showRewardedVideoWithViewController(nullptr);
  environment->advance(30);
  EXPECT_THAT(*trace, ElementsAre("0 r.failToShow 2001", "1 r.load rewardedvideo/UnityAds",
                                  "1 r.open rewardedvideo/UnityAds", "31 r.reward coins/3/Home",
                                  "31 r.close rewardedvideo/UnityAds"));
}

TEST_F(SimulatedIronSourceFixture, CappingCountsShowsPerPlacementWithinAnHourOfClockTime) {
  auto configuration = alwaysFilling();
  configuration.interstitialShowsPerHour["connect"] = 2;
  install(configuration);
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement("connect"));
  loadAndShowInterstitial("connect");  // shown at 1 s
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement("connect"));
  loadAndShowInterstitial("connect");  // shown at 17 s
  EXPECT_TRUE(IronSource::isInterstitialCappedForPlacement("connect"));
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement("disconnect"));  // not configured

  trace->clear();
  loadAndShowInterstitial("connect");
  EXPECT_THAT(*trace, ElementsAre("33 i.load interstitial/UnityAds", "33 i.failToShow 2002"));
  EXPECT_TRUE(IronSource::hasInterstitial());  // a refused show leaves the ad

  environment->advance(3601 - 48 - 0.5);  // half a second before the first show (at 1 s) leaves
  EXPECT_TRUE(IronSource::isInterstitialCappedForPlacement("connect"));
  environment->advance(0.5);
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement("connect"));
}

TEST_F(SimulatedIronSourceFixture, TheBridgeRunsOnTheSimulationEndToEnd) {
  install(alwaysFilling());
  bool started = false;
  IronSourceHelper::sharedInstance()->start("key", [&] { started = true; });
  environment->advance(1);
  EXPECT_TRUE(started);

  auto log = std::make_shared<IronSourceTesting::Log>();
  auto listener = std::make_shared<IronSourceTesting::RecordingRewardedDelegate>(log);
  auto ad = IronSourceRewardedVideoAd::create(
      std::make_shared<IronSourceTesting::RecordingReporter>(log));
  ad->setDelegate(listener);
  ad->load();
  environment->advance(1);
  EXPECT_TRUE(ad->isReady());
  ad->present(std::make_shared<Platform::ViewController>());
  environment->advance(30);
  EXPECT_THAT(
      *log,
      ElementsAre("didStartLoading", "requested(ironSource, , " + ad->uuid() + ")", "didLoad",
                  "loaded(ironSource, rewardedvideo, " + ad->uuid() + ", UnityAds)", "didOpen",
                  "opened(ironSource, rewardedvideo, " + ad->uuid() + ", UnityAds)",
                  "didEarnReward(Reward, 1)", "didStartLoading",
                  "requested(ironSource, , " + ad->uuid() + ")"));
  EXPECT_EQ(ad->adUnitID(), "DefaultRewardedVideo");
  environment->advance(1);
  EXPECT_TRUE(ad->isLoaded());
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
