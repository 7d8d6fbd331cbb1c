#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "Ads/IronSource/IronSourceTestSupport.h"
#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"

namespace QVRAdKit {
namespace {

using IronSourceTesting::IronSourceTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using IronSourceHelperTest = IronSourceTest;

TEST_F(IronSourceHelperTest, SecondStartRunsTheFirstCompletionAgainAndInitialisesNothing) {
  auto helper = IronSourceHelper::sharedInstance();
  int firstCalls = 0;
  int laterCalls = 0;
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

TEST_F(IronSourceHelperTest, StartFromTheBackgroundCompletesOnTheMainQueue) {
  sdk->setCompletesInitializationAtOnce(true);
  std::atomic<int> completions{0};
  environment->background().async(
      [&] { IronSourceHelper::sharedInstance()->start("key", [&] { ++completions; }); });
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
  EXPECT_EQ(IronSourceHelper::sharedInstance(), first);

  auto otherEnvironment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope otherScope(*otherEnvironment);
  auto otherSdk = Sandbox::ScriptedIronSource::create();
  otherSdk->install(*otherEnvironment);
  auto second = IronSourceHelper::sharedInstance();
  EXPECT_NE(second, first);
  // Not started here: the SDK is asked to load, but the slot flags are not kept.
  second->loadInterstitial();
  EXPECT_FALSE(second->isLoadingInterstitial());
  EXPECT_EQ(otherSdk->interstitialLoadCalls(), 1u);
  int completions = 0;
  second->start("other-key", [&] { ++completions; });
  EXPECT_EQ(completions, 0);  // a fresh start, not a repeat of the first environment's
  EXPECT_EQ(otherSdk->initCalls().size(), 1u);
  EXPECT_EQ(sdk->initCalls().size(), 1u);
}

TEST_F(IronSourceHelperTest, WithoutAnSdkNothingHappensAndEveryQueryIsFalse) {
  environment->setService<IronSourceSDK>(nullptr);
  auto helper = IronSourceHelper::sharedInstance();
  bool completed = false;
  helper->start("key", [&] { completed = true; });
  helper->loadInterstitial();
  helper->loadRewardedVideo();
  helper->showInterstitialWith(root, "connect");
  IronSource::setConsent(true);
  EXPECT_FALSE(completed || helper->hasInterstitial() || helper->hasRewardedVideo());
  EXPECT_FALSE(helper->isInterstitialCappedFor({"connect"}));
  EXPECT_TRUE(helper->isLoadingInterstitial());  // the bridge's own flag, set before the SDK call
  EXPECT_THAT(sdk->initCalls(), IsEmpty());
  EXPECT_THAT(sdk->consents(), IsEmpty());
}

TEST_F(IronSourceHelperTest, TheSdkHoldsTheHandlersWeaklyAndTheHelperOwnsThem) {
  std::weak_ptr<ISInterstitialHandler> handler = startedHelper()->interstitialHandler();
  EXPECT_FALSE(handler.expired());  // the environment keeps the helper, the helper the handler
  environment->setService<IronSourceHelper>(nullptr);
  EXPECT_TRUE(handler.expired());
  sdk->loadInterstitial();
  EXPECT_TRUE(sdk->fillInterstitialLoad("UnityAds"));  // delivered to nobody, without a crash
}

class MockRewardedListener : public IronSourceRewardedVideoDelegate {
 public:
  MOCK_METHOD(void, ironSourceDidLoadWith, (const std::string&, const std::string&), (override));
  MOCK_METHOD(void, ironSourceDidFailToLoadWith, (const Platform::Error&), (override));
  MOCK_METHOD(void, ironSourceDidClick, (), (override));
  MOCK_METHOD(void, ironSourceDidReceive, (const IronSourceVideoReward&, const std::string&),
              (override));
  MOCK_METHOD(void, ironSourceDidClose, (), (override));
  MOCK_METHOD(void, ironSourceDidFailToShowWith,
              (const Platform::Error&, const std::string&, const std::string&), (override));
  MOCK_METHOD(void, ironSourceDidOpenWith, (const std::string&, const std::string&), (override));
};

TEST(ISRewardedVideoHandlerTest, AvailabilityCountsAsALoadAndTheRewardCarriesTheAmountAsGiven) {
  ISRewardedVideoHandler handler;
  auto listener = std::make_shared<::testing::StrictMock<MockRewardedListener>>();
  handler.setRewardedVideoDelegate(listener);
  const ISAdInfo adInfo{"rewardedvideo", "UnityAds"};
  const ISPlacementInfo placement{"coins", 2.5, "Home"};
  {
    ::testing::InSequence order;
    EXPECT_CALL(*listener, ironSourceDidLoadWith("rewardedvideo", "UnityAds")).Times(2);
    EXPECT_CALL(*listener, ironSourceDidReceive(IronSourceVideoReward{"coins", 2.5}, "Home"));
    EXPECT_CALL(*listener, ironSourceDidClick());
    EXPECT_CALL(*listener, ironSourceDidClose());
  }
  handler.hasAvailableAdWithAdInfo(adInfo);
  handler.hasNoAvailableAd();  // nothing
  handler.didLoadWithAdInfo(adInfo);
  handler.didReceiveRewardForPlacement(placement, adInfo);
  handler.didClick(placement, adInfo);
  handler.didCloseWithAdInfo(adInfo);
  listener.reset();
  handler.didLoadWithAdInfo(adInfo);  // dropped: the listener is held weakly and gone
  EXPECT_FALSE(handler.rewardedVideoDelegate());
}

}  // namespace
}  // namespace QVRAdKit
