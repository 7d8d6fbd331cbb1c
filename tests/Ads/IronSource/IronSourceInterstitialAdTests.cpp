#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
  std::vector<bool> loadingValues(const IronSourceInterstitialAd& ad) {
    std::vector<bool> values;
    auto subscription =
        ad.isLoadingStream().subscribe([&](bool value) { values.push_back(value); });
    return values;
  }

  std::shared_ptr<IronSourceHelper> helper;
  std::shared_ptr<RecordingInterstitialDelegate> listener =
      std::make_shared<RecordingInterstitialDelegate>(log);
};

TEST_F(IronSourceInterstitialAdTest, CreationLoadsReportsTheRequestAndTheLoad) {
  auto ad = makeAd();
  const std::string& id = ad->uuid();
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
  EXPECT_TRUE(helper->isLoadingInterstitial());
  EXPECT_EQ(slotListener(), ad);
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_THAT(*log, ElementsAre("requested(ironSource, nil, " + id + ")"));

  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_THAT(*log, ElementsAre("requested(ironSource, nil, " + id + ")",
                                "loaded(ironSource, nil, " + id + ", UnityAds)"));
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_FALSE(ad->isFailed());
  EXPECT_THAT(loadingValues(*ad), ElementsAre(false));  // never pushed by this class
  EXPECT_NE(makeAd()->uuid(), id);
}

TEST_F(IronSourceInterstitialAdTest, ASecondAdWhileTheFirstLoadsStartsNoLoadButReportsItsRequest) {
  auto first = makeAd();
  auto second = makeAd();
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
  EXPECT_EQ(slotListener(), first);
  EXPECT_THAT(*log, ElementsAre("requested(ironSource, nil, " + first->uuid() + ")",
                                "requested(ironSource, nil, " + second->uuid() + ")"));

  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  EXPECT_EQ(log->back(), "loaded(ironSource, nil, " + first->uuid() + ", UnityAds)");
  EXPECT_TRUE(first->isLoaded());
  EXPECT_TRUE(second->isLoaded());  // the slot is shared

  // With an ad available a new object loads nothing either.
  auto third = makeAd();
  EXPECT_EQ(sdk->interstitialLoadCalls(), 1u);
  EXPECT_EQ(slotListener(), first);
  EXPECT_TRUE(third->isLoaded());
}

TEST_F(IronSourceInterstitialAdTest, TheFailureFlagIsTheSlotsAndClearsWhenAnyLoadStarts) {
  auto first = makeAd();
  ASSERT_TRUE(sdk->failInterstitialLoad(loadError));
  EXPECT_THAT(*log, ElementsAre("requested(ironSource, nil, " + first->uuid() + ")",
                                "didFail(" + first->uuid() + ")",
                                "failed(ironSource, nil, " + first->uuid() + ", nil, 7)"));
  EXPECT_TRUE(first->isFailed());
  first->setIsFailed(false);  // ignored
  EXPECT_TRUE(first->isFailed());

  auto second = makeAd();  // nothing loading, nothing loaded: loads and takes the slot
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_EQ(slotListener(), second);
  EXPECT_FALSE(first->isFailed());
  EXPECT_FALSE(second->isFailed());
  second->setIsFailed(true);  // ignored
  EXPECT_FALSE(second->isFailed());
}

TEST_F(IronSourceInterstitialAdTest, PresentingOpeningAndClosingInOrderThenReloadingAtOnce) {
  auto ad = makeAd("disconnect");
  const std::string id = ad->uuid();
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  log->clear();

  ad->present(root);
  EXPECT_THAT(sdk->interstitialShows(),
              ElementsAre(Sandbox::IronSourceSandbox::ShowCall{"root", "disconnect"}));
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialShow();
  sdk->triggerInterstitialClick();
  EXPECT_THAT(*log, ElementsAre("opened(ironSource, disconnect, " + id + ", UnityAds)",
                                "didOpen(" + id + ")"));
  log->clear();

  sdk->triggerInterstitialClose();
  EXPECT_THAT(*log, ElementsAre("willClose(" + id + ")",
                                "viewed(ironSource, disconnect, " + id + ", UnityAds, nil)",
                                "didClose(" + id + ")"));
  EXPECT_TRUE(ad->hasBeenUsed());
  EXPECT_TRUE(ad->isContentDiscarded());
  // The reload ran inside the close callback: nothing was left for the main queue.
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
  EXPECT_TRUE(sdk->isInterstitialLoadPending());
  EXPECT_TRUE(helper->isLoadingInterstitial());
  EXPECT_EQ(environment->mainQueue().pendingCount(), 0u);
  log->clear();

  // The new ad is reported under the closed object, which stays unloaded.
  ASSERT_TRUE(sdk->fillInterstitialLoad("AppLovin"));
  EXPECT_THAT(*log, ElementsAre("loaded(ironSource, nil, " + id + ", AppLovin)"));
  EXPECT_FALSE(ad->isLoaded());
  auto next = makeAd("disconnect");
  EXPECT_TRUE(next->isLoaded());
  EXPECT_EQ(sdk->interstitialLoadCalls(), 2u);
}

TEST_F(IronSourceInterstitialAdTest, PresentingMakesTheAdTheSlotsListener) {
  auto first = makeAd();
  auto second = makeAd("appLaunch");
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  log->clear();
  second->present(root);
  EXPECT_EQ(slotListener(), second);
  sdk->triggerInterstitialOpen();
  EXPECT_THAT(*log, ElementsAre("opened(ironSource, appLaunch, " + second->uuid() + ", UnityAds)",
                                "didOpen(" + second->uuid() + ")"));
  EXPECT_FALSE(first->hasBeenUsed());
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

TEST_F(IronSourceInterstitialAdTest, WithoutAHostListenerTheAdStillReportsAndUpdatesItsFlags) {
  auto ad = IronSourceInterstitialAd::create("connect", reporter);
  {
    auto gone = std::make_shared<RecordingInterstitialDelegate>(log);
    ad->setDelegate(gone);
  }
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  ad->present(root);
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialClose();
  EXPECT_THAT(*log, ElementsAre("requested(ironSource, nil, " + ad->uuid() + ")",
                                "loaded(ironSource, nil, " + ad->uuid() + ", UnityAds)",
                                "opened(ironSource, connect, " + ad->uuid() + ", UnityAds)",
                                "viewed(ironSource, connect, " + ad->uuid() + ", UnityAds, nil)"));
  EXPECT_TRUE(ad->hasBeenUsed());
}

TEST_F(IronSourceInterstitialAdTest, CallbacksAfterTheAdIsGoneAreDropped) {
  auto ad = makeAd();
  std::weak_ptr<IronSourceInterstitialAd> weakAd = ad;
  ad.reset();
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
