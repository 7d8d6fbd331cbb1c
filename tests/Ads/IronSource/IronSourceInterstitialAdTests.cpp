#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Ads/IronSource/IronSourceTestSupport.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"

namespace QVRAdKit {
namespace {

using IronSourceTesting::IronSourceTest;
using IronSourceTesting::RecordingInterstitialDelegate;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class IronSourceInterstitialAdTest : public IronSourceTest {
 protected:
  void SetUp() override { helper = startedHelper(); }

  std::shared_ptr<IronSourceInterstitialAd> makeAd(const std::string& key = "connect") {
    auto ad = IronSourceInterstitialAd::create(key, reporter);
    ad->setDelegate(listener);
    return ad;
  }
  std::shared_ptr<IronSourceInterstitialDelegate> slotListener() const {
    return helper->interstitialHandler()->interstitialDelegate();
  }
  static std::string requested(const IronSourceInterstitialAd& ad) {
    return "requested(ironSource, nil, " + ad.uuid() + ")";
  }

  std::shared_ptr<IronSourceHelper> helper;
  std::shared_ptr<RecordingInterstitialDelegate> listener =
      std::make_shared<RecordingInterstitialDelegate>(log);
};

TEST_F(IronSourceInterstitialAdTest, OnlyTheFirstAdLoadsTheSharedSlotAndEachReportsItsRequest) {
  auto first = makeAd();
  EXPECT_TRUE(helper->isLoadingInterstitial());
  auto second = makeAd();  // while the first loads: no load, the first stays the listener
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
  EXPECT_EQ(slotListener(), first);
  EXPECT_FALSE(first->isLoaded());

  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_THAT(*log, ElementsAre(requested(*first), requested(*second),
                                "loaded(ironSource, nil, " + first->uuid() + ", UnityAds)"));
  EXPECT_TRUE(first->isLoaded() && second->isLoaded());  // the slot is shared
  EXPECT_NE(first->uuid(), second->uuid());

  auto third = makeAd();  // with an ad available nothing loads either
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
  EXPECT_EQ(slotListener(), first);
}

TEST_F(IronSourceInterstitialAdTest, TheFailureFlagIsTheSlotsAndClearsWhenAnyLoadStarts) {
  auto first = makeAd();
  ASSERT_TRUE(sdk->failInterstitialLoad(loadError));
  EXPECT_THAT(*log, ElementsAre(requested(*first), "didFail(" + first->uuid() + ")",
                                "failed(ironSource, nil, " + first->uuid() + ", nil, 7)"));
  EXPECT_TRUE(first->isFailed());
  first->setIsFailed(false);  // ignored
  EXPECT_TRUE(first->isFailed());

  auto second = makeAd();  // nothing loading, nothing loaded: loads and takes the slot
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_EQ(slotListener(), second);
  EXPECT_FALSE(first->isFailed() || second->isFailed());
  second->setIsFailed(true);  // ignored
  EXPECT_FALSE(second->isFailed());
}

TEST_F(IronSourceInterstitialAdTest, PresentingOpeningAndClosingInOrderThenReloadingAtOnce) {
  auto other = makeAd();
  auto ad = makeAd("disconnect");
  const std::string id = ad->uuid();
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
  EXPECT_THAT(*log, ElementsAre("opened(ironSource, disconnect, " + id + ", UnityAds)",
                                "didOpen(" + id + ")", "willClose(" + id + ")",
                                "viewed(ironSource, disconnect, " + id + ", UnityAds, nil)",
                                "didClose(" + id + ")"));
  EXPECT_TRUE(ad->hasBeenUsed() && ad->isContentDiscarded());
  EXPECT_FALSE(other->hasBeenUsed());
  // The reload ran inside the close callback: nothing was left for the main queue.
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_TRUE(helper->isLoadingInterstitial());
  EXPECT_EQ(environment->mainQueue().pendingCount(), 0u);
  log->clear();

  // The new ad is reported under the closed object, which stays used and unloaded.
  ASSERT_TRUE(sdk->fillInterstitialLoad("AppLovin"));
  EXPECT_THAT(*log, ElementsAre("loaded(ironSource, nil, " + id + ", AppLovin)"));
  EXPECT_TRUE(ad->hasBeenUsed());
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_TRUE(makeAd("disconnect")->isLoaded());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

TEST_F(IronSourceInterstitialAdTest, FailingToShowOnlyTellsTheHost) {
  auto ad = makeAd();
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  log->clear();
  ad->present(root);
  sdk->triggerInterstitialFailToShow(loadError);
  EXPECT_THAT(*log, ElementsAre("didFailToShow(" + ad->uuid() + ")"));
  EXPECT_FALSE(ad->hasBeenUsed());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
}

TEST_F(IronSourceInterstitialAdTest, CallbacksAfterTheAdIsGoneAreDropped) {
  std::weak_ptr<IronSourceInterstitialAd> weakAd = makeAd();
  EXPECT_TRUE(weakAd.expired());  // neither the bridge nor the SDK keeps it alive
  log->clear();
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialClose();  // still reloads: the bridge, not the ad, asks for it
  EXPECT_THAT(*log, IsEmpty());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

}  // namespace
}  // namespace QVRAdKit
