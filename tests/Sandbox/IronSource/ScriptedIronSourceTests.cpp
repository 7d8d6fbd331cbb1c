#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"
#include "Sandbox/IronSource/IronSourceRecorders.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"

namespace QVRAdKit::Sandbox {
namespace {

using IronSourceTesting::InitializationRecorder;
using IronSourceTesting::InterstitialRecorder;
using IronSourceTesting::RewardedRecorder;
using IronSourceTesting::Trace;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ScriptedIronSourceTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<ScriptedIronSource> sdk = [this] {
    auto scripted = ScriptedIronSource::create();
    scripted->install(*environment);
    return scripted;
  }();
  std::shared_ptr<Trace> trace = std::make_shared<Trace>();
  const Platform::Error error{"test", 3, "failed"};
};

TEST_F(ScriptedIronSourceTest, AnswersNeedAPendingLoadAndRepeatedLoadsOnlyCount) {
  auto recorder = std::make_shared<InterstitialRecorder>(trace);
  IronSource::setLevelPlayInterstitialDelegate(recorder);
  EXPECT_FALSE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_FALSE(sdk->failInterstitialLoad(error));
  EXPECT_FALSE(sdk->fillRewardedVideoLoad("UnityAds"));

  IronSource::loadInterstitial();
  IronSource::loadInterstitial();
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_FALSE(sdk->fillInterstitialLoad("UnityAds"));  // one pending load, one answer
  EXPECT_TRUE(IronSource::hasInterstitial());

  IronSource::showInterstitialWithViewController(nullptr, "connect");
  sdk->triggerInterstitialOpen();
  EXPECT_FALSE(IronSource::hasInterstitial());  // taken on screen
  EXPECT_TRUE(sdk->isInterstitialOnScreen());
  sdk->triggerInterstitialClose();
  EXPECT_FALSE(sdk->isInterstitialOnScreen());
  EXPECT_THAT(*trace,
              ElementsAre("0 i.load interstitial/UnityAds", "0 i.open interstitial/UnityAds",
                          "0 i.close interstitial/UnityAds"));
  EXPECT_THAT(sdk->interstitialShows(), ElementsAre(IronSourceSandbox::ShowCall{"", "connect"}));
}

TEST_F(ScriptedIronSourceTest, InitialisationWaitsForTheTestOrCompletesOnTheMainQueue) {
  auto recorder = std::make_shared<InitializationRecorder>(trace);
  EXPECT_FALSE(sdk->completeInitialization());  // nothing asked yet
  IronSource::initWithAppKey("key", {"interstitial"}, recorder);
  EXPECT_THAT(*trace, IsEmpty());
  EXPECT_TRUE(sdk->completeInitialization());
  EXPECT_FALSE(sdk->completeInitialization());  // once
  EXPECT_THAT(*trace, ElementsAre("0 initialized"));

  auto other = Platform::Environment::makeForTesting();
  Platform::Environment::Scope otherScope(*other);
  auto atOnce = ScriptedIronSource::create();
  atOnce->install(*other);
  atOnce->setCompletesInitializationAtOnce(true);
  trace->clear();
  IronSource::initWithAppKey("key", {}, recorder);
  EXPECT_THAT(*trace, IsEmpty());  // not on the caller's stack
  other->mainQueue().runUntilIdle();
  EXPECT_THAT(*trace, ElementsAre("0 initialized"));
  EXPECT_TRUE(atOnce->isInitialized());
}

TEST_F(ScriptedIronSourceTest, RewardedLoadResultsGoToTheManualDelegateOnceOneIsRegistered) {
  auto recorder = std::make_shared<RewardedRecorder>(trace);
  IronSource::setLevelPlayRewardedVideoDelegate(recorder);
  IronSource::loadRewardedVideo();
  EXPECT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  IronSource::loadRewardedVideo();
  EXPECT_TRUE(sdk->failRewardedVideoLoad(error));
  EXPECT_FALSE(IronSource::hasRewardedVideo());

  IronSource::setLevelPlayRewardedVideoManualDelegate(recorder);
  IronSource::loadRewardedVideo();
  EXPECT_TRUE(sdk->fillRewardedVideoLoad("AppLovin", "rv"));
  EXPECT_TRUE(IronSource::hasRewardedVideo());
  IronSource::loadRewardedVideo();
  EXPECT_TRUE(sdk->failRewardedVideoLoad(error));
  EXPECT_THAT(*trace, ElementsAre("0 r.available rewardedvideo/UnityAds", "0 r.unavailable",
                                  "0 r.load rv/AppLovin", "0 r.fail 3"));
}

TEST_F(ScriptedIronSourceTest, DelegatesAreHeldWeaklyAndCallsAreRecorded) {
  auto recorder = std::make_shared<InterstitialRecorder>(trace);
  IronSource::setLevelPlayInterstitialDelegate(recorder);
  std::weak_ptr<InterstitialRecorder> weak = recorder;
  recorder.reset();
  EXPECT_TRUE(weak.expired());
  IronSource::loadInterstitial();
  EXPECT_TRUE(sdk->fillInterstitialLoad("UnityAds"));  // dropped, no crash
  EXPECT_THAT(*trace, IsEmpty());

  IronSource::setConsent(true);
  IronSource::setConsent(false);
  EXPECT_THAT(sdk->consents(), ElementsAre(true, false));
  sdk->setInterstitialCapped("connect", true);
  EXPECT_TRUE(IronSource::isInterstitialCappedForPlacement("connect"));
  sdk->setInterstitialCapped("connect", false);
  EXPECT_FALSE(IronSource::isInterstitialCappedForPlacement("connect"));
  EXPECT_THAT(sdk->cappingQueries(), ElementsAre("connect", "connect"));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
