#include <gmock/gmock.h>

#include <atomic>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"

namespace QVRAdKit::AdTesting {
namespace {

using ::testing::ElementsAre;

using IronSourceHelperTest = IronSourceTest;

TEST_F(IronSourceHelperTest, SecondStartRunsTheFirstCompletionAgainAndInitialisesNothing) {
  auto helper = IronSourceHelper::sharedInstance(*environment);
  int firstCalls = 0, laterCalls = 0;
  helper->start("key-1", [&] { ++firstCalls; });
  const auto interstitialHandler = helper->interstitialHandler();
  ASSERT_TRUE(interstitialHandler && helper->rewardedVideoHandler());
  EXPECT_THAT(sdk->initCalls(), ElementsAre(Sandbox::IronSourceSandbox::InitCall{
                                    "key-1", {"rewardedvideo", "interstitial"}}));
  EXPECT_EQ(firstCalls, 0);  // waits for the SDK

  helper->start("key-2", [&] { ++laterCalls; });  // before the SDK answered: runs the first
  EXPECT_EQ(firstCalls, 1);
  EXPECT_TRUE(sdk->completeInitialization());
  EXPECT_EQ(firstCalls, 2);
  helper->start("key-3", [&] { ++laterCalls; });
  EXPECT_EQ(firstCalls, 3);
  EXPECT_EQ(laterCalls, 0);
  EXPECT_EQ(sdk->initCalls().size(), 1u);
  EXPECT_EQ(helper->interstitialHandler(), interstitialHandler);
}

TEST_F(IronSourceHelperTest, AStartAfterOneWithoutCompletionIsCalledBackOnceInitialised) {
  auto helper = IronSourceHelper::sharedInstance(*environment);
  helper->start("key-1", nullptr);
  int calls = 0;
  helper->start("key-2", [&] { ++calls; });  // stored, not run: the SDK has not answered
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(sdk->completeInitialization());
  EXPECT_EQ(calls, 1);

  auto otherEnvironment = Platform::Environment::makeForTesting();
  auto otherSdk = Sandbox::ScriptedIronSource::create();
  otherSdk->install(*otherEnvironment);
  auto late = IronSourceHelper::sharedInstance(*otherEnvironment);
  late->start("key-1", nullptr);
  EXPECT_TRUE(otherSdk->completeInitialization());
  int lateCalls = 0;
  late->start("key-2", [&] { ++lateCalls; });  // already initialised: runs at once
  EXPECT_EQ(lateCalls, 1);
  EXPECT_EQ(sdk->initCalls().size(), 1u);
}

TEST_F(IronSourceHelperTest, StartFromTheBackgroundCompletesOnTheMainQueue) {
  sdk->setCompletesInitializationAtOnce(true);
  std::atomic<int> completions{0};
  environment->background().async([&] {
    IronSourceHelper::sharedInstance(*environment)->start("key", [&] { ++completions; });
  });
  environment->background().waitUntilIdle();
  EXPECT_EQ(completions.load(), 0);  // posted, not delivered on the starting thread
  EXPECT_TRUE(environment->runUntil([&] { return completions.load() == 1; }));
}

TEST_F(IronSourceHelperTest, CappingStopsAtTheFirstCappedNameInListOrder) {
  auto helper = startedHelper();
  EXPECT_FALSE(helper->isInterstitialCappedFor({}));
  EXPECT_FALSE(helper->isInterstitialCappedFor({"a", "b"}));
  sdk->setInterstitialCapped("b", true);
  EXPECT_TRUE(helper->isInterstitialCappedFor({"a", "b", "c"}));
  EXPECT_THAT(sdk->cappingQueries(), ElementsAre("a", "b", "a", "b"));  // "c" never asked
}

TEST_F(IronSourceHelperTest, OneHelperPerEnvironmentEachStartedOnItsOwn) {
  auto first = startedHelper();
  EXPECT_EQ(IronSourceHelper::sharedInstance(*environment), first);

  // Another environment, never installed: the helper is found through it alone.
  auto otherEnvironment = Platform::Environment::makeForTesting();
  auto otherSdk = Sandbox::ScriptedIronSource::create();
  otherSdk->install(*otherEnvironment);
  auto second = IronSourceHelper::sharedInstance(*otherEnvironment);
  EXPECT_NE(second, first);
  int completions = 0;
  second->start("other-key", [&] { ++completions; });
  EXPECT_EQ(completions, 0);  // a fresh start, not a repeat of the first environment's
  EXPECT_EQ(otherSdk->initCalls().size(), 1u);
  EXPECT_EQ(sdk->initCalls().size(), 1u);
}

TEST_F(IronSourceHelperTest, WithoutAnSdkNothingHappensAndEveryQueryIsFalse) {
  environment->setService<IronSourceSDK>(nullptr);
  auto helper = IronSourceHelper::sharedInstance(*environment);
  bool completed = false;
  helper->start("key", [&] { completed = true; });
  helper->loadInterstitial();
  helper->showInterstitialWith(root, "connect");
  EXPECT_FALSE(completed || helper->hasInterstitial() || helper->hasRewardedVideo());
  EXPECT_FALSE(helper->isInterstitialCappedFor({"connect"}));
  EXPECT_TRUE(sdk->initCalls().empty());
}

TEST_F(IronSourceHelperTest, TheSdkHoldsTheHandlersWeaklyAndTheHelperOwnsThem) {
  std::weak_ptr<ISInterstitialHandler> handler = startedHelper()->interstitialHandler();
  EXPECT_FALSE(handler.expired());  // the environment keeps the helper, the helper the handler
  environment->setService<IronSourceHelper>(nullptr);
  EXPECT_TRUE(handler.expired());
  sdk->loadInterstitial();
  EXPECT_TRUE(sdk->fillInterstitialLoad("UnityAds"));  // delivered to nobody, without a crash
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
