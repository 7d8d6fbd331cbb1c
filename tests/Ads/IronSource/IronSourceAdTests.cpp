#include <gmock/gmock.h>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit::AdTesting {
namespace {

using ::testing::ElementsAre;

class IronSourceInterstitialAdTest : public IronSourceTest {
 protected:
  void SetUp() override { helper = startedHelper(); }

  std::shared_ptr<IronSourceInterstitialAd> makeAd(const std::string& key = "connect") {
    auto ad = IronSourceInterstitialAd::create(IronSourceHelper::sharedInstance(*environment), key,
                                               reporter);
    ad->setDelegate(delegate);
    return ad;
  }
  std::shared_ptr<IronSourceInterstitialDelegate> slotListener() const {
    return helper->interstitialHandler()->interstitialDelegate();
  }

  std::shared_ptr<IronSourceHelper> helper;
};

TEST_F(IronSourceInterstitialAdTest, AdsShareOneSlotAndOnlyAnAdFindingItIdleLoadsIt) {
  auto first = makeAd();
  ASSERT_TRUE(sdk->failInterstitialLoad(loadError));
  EXPECT_THAT(log->take(), ElementsAre("requested(ironSource, nil, A)", "didFail",
                                       "failed(ironSource, nil, A, nil, test#7)"));
  EXPECT_TRUE(first->isFailed());
  first->setIsFailed(false);  // ignored: the flag is the slot's
  EXPECT_TRUE(first->isFailed());

  auto second = makeAd();  // nothing loading, nothing loaded: loads and takes the slot
  EXPECT_FALSE(first->isFailed() || second->isFailed());
  auto third = makeAd();  // while the second loads: no load, the second stays the listener
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_EQ(slotListener(), second);
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_THAT(log->take(),
              ElementsAre("requested(ironSource, nil, B)", "requested(ironSource, nil, C)",
                          "loaded(ironSource, nil, B, UnityAds)"));
  EXPECT_TRUE(first->isLoaded() && third->isLoaded());

  auto fourth = makeAd();  // with an ad available nothing loads either
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_EQ(slotListener(), second);
}

TEST_F(IronSourceInterstitialAdTest, PresentingOpeningAndClosingInOrderThenReloadingAtOnce) {
  auto other = makeAd();
  auto ad = makeAd("disconnect");
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  log->clear();

  ad->present(root);  // the presented ad becomes the slot's listener
  EXPECT_EQ(slotListener(), ad);
  EXPECT_THAT(sdk->interstitialShows(),
              ElementsAre(Sandbox::IronSourceSandbox::ShowCall{"root", "disconnect"}));
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialShow();
  sdk->triggerInterstitialClick();
  sdk->triggerInterstitialClose();
  EXPECT_THAT(log->take(),
              ElementsAre("opened(ironSource, disconnect, B, UnityAds)", "didOpen", "willClose",
                          "viewed(ironSource, disconnect, B, UnityAds)", "didClose"));
  EXPECT_TRUE(ad->hasBeenUsed() && ad->isContentDiscarded());
  EXPECT_FALSE(other->hasBeenUsed());
  // The reload ran inside the close callback: nothing was left for the main queue.
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_TRUE(helper->isLoadingInterstitial());
  EXPECT_EQ(environment->mainQueue().pendingCount(), 0u);

  // The new ad is reported under the closed object, which stays used and unloaded.
  ASSERT_TRUE(sdk->fillInterstitialLoad("AppLovin"));
  EXPECT_THAT(log->take(), ElementsAre("loaded(ironSource, nil, B, AppLovin)"));
  EXPECT_TRUE(ad->hasBeenUsed());
  EXPECT_FALSE(ad->isLoaded());
  auto next = makeAd("disconnect");
  EXPECT_TRUE(next->isLoaded());

  // Failing to show only tells the host.
  next->present(root);
  sdk->triggerInterstitialFailToShow(loadError);
  EXPECT_THAT(log->take(), ElementsAre("requested(ironSource, nil, C)", "didFailToShow"));
  EXPECT_FALSE(next->hasBeenUsed());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

TEST_F(IronSourceInterstitialAdTest, CallbacksAfterTheAdIsGoneAreDropped) {
  std::weak_ptr<IronSourceInterstitialAd> weakAd = makeAd();
  EXPECT_TRUE(weakAd.expired());  // neither the bridge nor the SDK keeps it alive
  log->clear();
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialClose();  // still reloads: the bridge, not the ad, asks for it
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

class IronSourceRewardedVideoAdTest : public IronSourceTest {
 protected:
  void SetUp() override {
    helper = startedHelper();
    ad =
        IronSourceRewardedVideoAd::create(IronSourceHelper::sharedInstance(*environment), reporter);
    ad->setDelegate(delegate);
    // The flags go into the same log, so their order against the calls is checked too.
    watch("isLoaded", ad->isLoadedStream());
    watch("isReady", ad->isReadyStream());
    watch("isLoading", ad->isLoadingStream());
    log->clear();
  }

  void watch(const std::string& name, const Rx::Observable<bool>& stream) {
    bag.insert(stream.subscribe(
        [log = log, name](bool value) { log->add(name + "=" + (value ? "true" : "false")); }));
  }

  std::shared_ptr<IronSourceHelper> helper;
  std::shared_ptr<IronSourceRewardedVideoAd> ad;
  Rx::DisposeBag bag;
};

TEST_F(IronSourceRewardedVideoAdTest, LoadRequestsOnceAtATimeAndReportsFailureAndSuccessInOrder) {
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 0u);  // creation does not load
  ad->load();
  ad->load();  // under way: nothing
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 1u);
  EXPECT_EQ(helper->rewardedVideoHandler()->rewardedVideoDelegate(), ad);
  ASSERT_TRUE(sdk->failRewardedVideoLoad(loadError));
  ad->load();  // a failed load can be retried
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds", "rewardedvideo"));
  EXPECT_THAT(
      log->take(),
      ElementsAre("didStartLoading", "isLoading=true", "requested(ironSource, , A)",
                  "isLoading=false", "didFailToLoad(test#7)",
                  "failed(ironSource, nil, A, nil, test#7)", "didStartLoading", "isLoading=true",
                  "requested(ironSource, , A)", "isLoaded=true", "isReady=true", "isLoading=false",
                  "didLoad", "loaded(ironSource, rewardedvideo, A, UnityAds)"));
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 2u);
  // The SDK telling that an ad is available counts as a load.
  helper->rewardedVideoHandler()->hasAvailableAdWithAdInfo({"rewardedvideo", "UnityAds"});
  EXPECT_THAT(log->take(),
              ElementsAre("didLoad", "loaded(ironSource, rewardedvideo, A, UnityAds)"));
}

// A close tells the host the stored reward (an empty one if none came) and reloads at once.
TEST_F(IronSourceRewardedVideoAdTest, CloseAnnouncesTheStoredRewardAndReloadsUnderTheSameUuid) {
  ad->load();
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  ad->present(root);
  EXPECT_THAT(sdk->rewardedVideoShows(),
              ElementsAre(Sandbox::IronSourceSandbox::ShowCall{"root", ""}));
  sdk->triggerRewardedVideoOpen();
  log->clear();
  sdk->triggerRewardedVideoClose();
  EXPECT_EQ(log->take(),
            (Strings{"didEarnReward(, 0)", "didStartLoading", "isLoaded=false", "isReady=false",
                     "isLoading=true", "requested(ironSource, , A)"}));
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 2u);
  EXPECT_TRUE(sdk->isRewardedVideoLoadPending());

  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds", "rv-unit"));
  log->clear();
  ad->present(root);
  sdk->triggerRewardedVideoOpen();
  sdk->triggerRewardedVideoClick({"coins", Platform::Decimal::fromInt(1), "Home"});
  EXPECT_THAT(log->take(), ElementsAre("didOpen", "opened(ironSource, rv-unit, A, UnityAds)"));
  EXPECT_FALSE(ad->isReady());  // the SDK's ad is on screen

  // Only a decimal amount counts: any other number is stored as zero.
  sdk->triggerRewardedVideoReward({"gems", Platform::Decimal::fromInt(5), "Shop"});
  EXPECT_EQ(ad->getRewardValue(), Platform::Decimal::fromInt(5));
  sdk->triggerRewardedVideoReward({"gems", 3.0, "Shop"});
  EXPECT_TRUE(ad->getRewardValue().isZero());
  EXPECT_EQ(ad->adUnitID(), "Shop");
  sdk->triggerRewardedVideoReward({"coins", *Platform::Decimal::fromString("2.5"), "Home"});
  EXPECT_TRUE(log->empty());  // stored, not announced

  sdk->triggerRewardedVideoClose();
  EXPECT_EQ(log->take(),
            (Strings{"didEarnReward(coins, 2.5)", "didStartLoading", "isLoaded=false",
                     "isReady=false", "isLoading=true", "requested(ironSource, , A)"}));
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 3u);
  EXPECT_TRUE(sdk->isRewardedVideoLoadPending());
}

// The host may drop its last reference while told of the load start; whatever the SDK says after
// the ad is gone reaches nobody, and nobody reloads.
TEST_F(IronSourceRewardedVideoAdTest, HostDroppingTheLastReferenceWhenToldOfTheLoadStartIsSafe) {
  std::weak_ptr<IronSourceRewardedVideoAd> weak = ad;
  log->onAdd = [this](const std::string& entry) {
    if (entry == "didStartLoading") ad.reset();
  };
  ad->load();  // the ad finishes its own work (flags, request report) before it goes
  EXPECT_TRUE(weak.expired());
  EXPECT_THAT(log->take(),
              ElementsAre("didStartLoading", "isLoading=true", "requested(ironSource, , A)"));
  EXPECT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  sdk->triggerRewardedVideoOpen();
  sdk->triggerRewardedVideoReward({"coins", Platform::Decimal::fromInt(1), "Home"});
  sdk->triggerRewardedVideoClose();
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 1u);
}

TEST_F(IronSourceRewardedVideoAdTest, FailingToPresentClearsLoadingAndReportsNothing) {
  ad->load();
  log->clear();
  ad->present(root);  // no readiness check: the SDK answers
  sdk->triggerRewardedVideoFailToShow(loadError);
  EXPECT_THAT(log->take(), ElementsAre("isLoading=false", "didFailToPresent(test#7, no fill)"));
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
