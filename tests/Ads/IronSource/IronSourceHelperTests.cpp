#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Ads/IronSource/IronSourceTestSupport.h"
#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/SDK/IronSource/IronSource.h"

namespace QVRAdKit {
namespace {

using IronSourceTesting::IronSourceTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StrictMock;

using IronSourceHelperTest = IronSourceTest;

TEST_F(IronSourceHelperTest, SecondStartRunsTheFirstCompletionAgainAndInitialisesNothing) {
  auto helper = IronSourceHelper::sharedInstance();
  int firstCalls = 0;
  int secondCalls = 0;
  helper->start("key-1", [&] { ++firstCalls; });
  const auto interstitialHandler = helper->interstitialHandler();
  const auto rewardedHandler = helper->rewardedVideoHandler();
  ASSERT_TRUE(interstitialHandler && rewardedHandler);
  EXPECT_THAT(sdk->initCalls(), ElementsAre(Sandbox::IronSourceSandbox::InitCall{
                                    "key-1", {"rewardedvideo", "interstitial"}}));
  EXPECT_EQ(firstCalls, 0);  // waits for the SDK

  // A second start before the SDK has answered already runs the stored completion.
  helper->start("key-2", [&] { ++secondCalls; });
  EXPECT_EQ(firstCalls, 1);

  EXPECT_TRUE(sdk->completeInitialization());
  EXPECT_EQ(firstCalls, 2);

  helper->start("key-3", [&] { ++secondCalls; });
  EXPECT_EQ(firstCalls, 3);
  EXPECT_EQ(secondCalls, 0);
  EXPECT_EQ(sdk->initCalls().size(), 1u);
  EXPECT_EQ(helper->interstitialHandler(), interstitialHandler);
  EXPECT_EQ(helper->rewardedVideoHandler(), rewardedHandler);
}

TEST_F(IronSourceHelperTest, StartFromTheBackgroundCompletesOnTheMainQueue) {
  sdk->setCompletesInitializationAtOnce(true);
  std::atomic<int> completions{0};
  environment->background().async(
      [&] { IronSourceHelper::sharedInstance()->start("key", [&] { ++completions; }); });
  environment->background().waitUntilIdle();
  EXPECT_EQ(completions.load(), 0);  // posted, not delivered on the starting thread
  EXPECT_TRUE(environment->runUntil([&] { return completions.load() == 1; }));
  EXPECT_EQ(sdk->initCalls().size(), 1u);
  EXPECT_TRUE(IronSourceHelper::sharedInstance()->interstitialHandler());
}

TEST_F(IronSourceHelperTest, CappingStopsAtTheFirstCappedNameInListOrder) {
  auto helper = startedHelper();
  EXPECT_FALSE(helper->isInterstitialCappedFor({}));
  EXPECT_THAT(sdk->cappingQueries(), IsEmpty());

  EXPECT_FALSE(helper->isInterstitialCappedFor({"a", "b"}));
  EXPECT_THAT(sdk->cappingQueries(), ElementsAre("a", "b"));

  sdk->setInterstitialCapped("b", true);
  EXPECT_TRUE(helper->isInterstitialCappedFor({"a", "b", "c"}));
  EXPECT_THAT(sdk->cappingQueries(), ElementsAre("a", "b", "a", "b"));  // "c" never asked
}

TEST_F(IronSourceHelperTest, LoadInterstitialMarksTheSharedSlotAndTheResultClearsIt) {
  auto helper = startedHelper();
  auto handler = helper->interstitialHandler();
  helper->loadInterstitial();
  EXPECT_TRUE(helper->isLoadingInterstitial());
  ASSERT_TRUE(sdk->failInterstitialLoad(loadError));
  EXPECT_FALSE(helper->isLoadingInterstitial());
  EXPECT_TRUE(helper->isFailedInterstitial());

  helper->loadInterstitial();
  EXPECT_TRUE(helper->isLoadingInterstitial());
  EXPECT_FALSE(helper->isFailedInterstitial());
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_FALSE(helper->isLoadingInterstitial());
  EXPECT_FALSE(helper->isFailedInterstitial());
  EXPECT_TRUE(helper->hasInterstitial());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

TEST_F(IronSourceHelperTest, OneHelperPerEnvironment) {
  auto first = IronSourceHelper::sharedInstance();
  EXPECT_EQ(IronSourceHelper::sharedInstance(), first);
  first->start("key", [] {});

  auto otherEnvironment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope otherScope(*otherEnvironment);
  auto otherSdk = Sandbox::ScriptedIronSource::create();
  otherSdk->install(*otherEnvironment);
  auto second = IronSourceHelper::sharedInstance();
  EXPECT_NE(second, first);
  EXPECT_FALSE(second->interstitialHandler());  // not started here
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
  EXPECT_FALSE(completed);
  EXPECT_FALSE(helper->hasInterstitial());
  EXPECT_FALSE(helper->hasRewardedVideo());
  EXPECT_FALSE(helper->isInterstitialCappedFor({"connect"}));
  EXPECT_TRUE(helper->isLoadingInterstitial());  // the bridge's own flag, set before the SDK call
  EXPECT_THAT(sdk->initCalls(), IsEmpty());
  EXPECT_THAT(sdk->consents(), IsEmpty());
}

TEST_F(IronSourceHelperTest, BeforeStartTheSlotFlagsAndListenersAreNotKept) {
  auto helper = IronSourceHelper::sharedInstance();
  helper->loadInterstitial();
  EXPECT_FALSE(helper->isLoadingInterstitial());
  EXPECT_FALSE(helper->isFailedInterstitial());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);  // the SDK is still asked
}

TEST_F(IronSourceHelperTest, TheSdkHoldsTheHandlersWeaklyAndTheHelperOwnsThem) {
  std::weak_ptr<ISInterstitialHandler> handler;
  {
    auto helper = startedHelper();
    handler = helper->interstitialHandler();
  }
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
  auto listener = std::make_shared<StrictMock<MockRewardedListener>>();
  handler.setRewardedVideoDelegate(listener);
  const ISAdInfo adInfo{"rewardedvideo", "UnityAds"};
  const ISPlacementInfo placement{"coins", 2.5, "Home"};
  {
    ::testing::InSequence order;
    EXPECT_CALL(*listener, ironSourceDidLoadWith("rewardedvideo", "UnityAds")).Times(2);
    EXPECT_CALL(
        *listener,
        ironSourceDidReceive(IronSourceVideoReward{"coins", ISPlacementInfo::Amount(2.5)}, "Home"));
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
  handler.didLoadWithAdInfo(adInfo);  // dropped: the listener is gone
  EXPECT_FALSE(handler.rewardedVideoDelegate());
}

}  // namespace
}  // namespace QVRAdKit
