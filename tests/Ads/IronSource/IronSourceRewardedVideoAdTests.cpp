#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Ads/IronSource/IronSourceTestSupport.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit {
namespace {

using IronSourceTesting::IronSourceTest;
using IronSourceTesting::RecordingRewardedDelegate;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class IronSourceRewardedVideoAdTest : public IronSourceTest {
 protected:
  void SetUp() override {
    helper = startedHelper();
    ad = IronSourceRewardedVideoAd::create(reporter);
    ad->setDelegate(listener);
    // The flags go into the same log, so their order against the calls is checked too.
    watch("isLoaded", ad->isLoadedStream());
    watch("isReady", ad->isReadyStream());
    watch("isLoading", ad->isLoadingStream());
    log->clear();
  }

  void watch(const std::string& name, const Rx::Observable<bool>& stream) {
    bag.insert(stream.subscribe([log = log, name](bool value) {
      log->push_back(name + "=" + (value ? "true" : "false"));
    }));
  }

  std::string requested() const { return "requested(ironSource, , " + ad->uuid() + ")"; }
  std::shared_ptr<IronSourceRewardedVideoDelegate> slotListener() const {
    return helper->rewardedVideoHandler()->rewardedVideoDelegate();
  }
  // Loads, fills, presents and opens; the log starts empty afterwards.
  void showLoadedAd() {
    ad->load();
    ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
    ad->present(root);
    sdk->triggerRewardedVideoOpen();
    log->clear();
  }

  std::shared_ptr<IronSourceHelper> helper;
  std::shared_ptr<RecordingRewardedDelegate> listener =
      std::make_shared<RecordingRewardedDelegate>(log);
  std::shared_ptr<IronSourceRewardedVideoAd> ad;
  Rx::DisposeBag bag;
};

TEST_F(IronSourceRewardedVideoAdTest, LoadRegistersRequestsOnceAndReportsInOrder) {
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 0u);  // construction does not load
  ad->load();
  EXPECT_THAT(*log, ElementsAre("didStartLoading", "isLoading=true", requested()));
  EXPECT_EQ(slotListener(), ad);
  ad->load();  // under way: nothing
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 1u);
  EXPECT_EQ(log->size(), 3u);
  EXPECT_TRUE(ad->isLoading());

  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds", "rewardedvideo"));
  EXPECT_THAT(*log, ElementsAre("didStartLoading", "isLoading=true", requested(), "isLoaded=true",
                                "isReady=true", "isLoading=false", "didLoad",
                                "loaded(ironSource, rewardedvideo, " + ad->uuid() + ", UnityAds)"));
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_TRUE(ad->isReady());
  EXPECT_FALSE(ad->isLoading());
}

TEST_F(IronSourceRewardedVideoAdTest, AFailedLoadIsReportedAndCanBeRetried) {
  ad->load();
  log->clear();
  ASSERT_TRUE(sdk->failRewardedVideoLoad(loadError));
  EXPECT_THAT(*log, ElementsAre("isLoading=false", "didFailToLoad(7)",
                                "failed(ironSource, nil, " + ad->uuid() + ", nil, 7)"));
  EXPECT_FALSE(ad->isLoaded());
  ad->load();
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 2u);
}

TEST_F(IronSourceRewardedVideoAdTest, OpeningReportsAfterTellingTheHost) {
  ad->load();
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds", "rv-unit"));
  log->clear();
  ad->present(root);
  EXPECT_THAT(sdk->rewardedVideoShows(),
              ElementsAre(Sandbox::IronSourceSandbox::ShowCall{"root", ""}));
  sdk->triggerRewardedVideoOpen();
  sdk->triggerRewardedVideoClick({"coins", Platform::Decimal::fromInt(1), "Home"});
  EXPECT_THAT(*log,
              ElementsAre("didOpen", "opened(ironSource, rv-unit, " + ad->uuid() + ", UnityAds)"));
  EXPECT_FALSE(ad->isReady());  // the SDK's ad is on screen
}

TEST_F(IronSourceRewardedVideoAdTest, CloseEarnsTheStoredRewardAndReloadsUnderTheSameUuid) {
  showLoadedAd();
  const std::string uuid = ad->uuid();
  sdk->triggerRewardedVideoReward({"coins", *Platform::Decimal::fromString("2.5"), "Home"});
  EXPECT_THAT(*log, IsEmpty());  // stored, not announced
  EXPECT_EQ(ad->getRewardType(), "coins");
  EXPECT_EQ(ad->getRewardValue(), *Platform::Decimal::fromString("2.5"));
  EXPECT_EQ(ad->adUnitID(), "Home");

  sdk->triggerRewardedVideoClose();
  EXPECT_THAT(*log, ElementsAre("didEarnReward(coins, 2.5)", "didStartLoading", "isLoaded=false",
                                "isReady=false", "isLoading=true", requested()));
  EXPECT_EQ(ad->uuid(), uuid);
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 2u);
  EXPECT_TRUE(sdk->isRewardedVideoLoadPending());
}

TEST_F(IronSourceRewardedVideoAdTest, ARewardAmountThatIsNotADecimalIsStoredAsZero) {
  showLoadedAd();
  sdk->triggerRewardedVideoReward({"coins", Platform::Decimal::fromInt(5), "Home"});
  EXPECT_EQ(ad->getRewardValue(), Platform::Decimal::fromInt(5));
  sdk->triggerRewardedVideoReward({"gems", 3.0, "Shop"});
  EXPECT_TRUE(ad->getRewardValue().isZero());
  EXPECT_EQ(ad->getRewardType(), "gems");
  EXPECT_EQ(ad->adUnitID(), "Shop");
}

TEST_F(IronSourceRewardedVideoAdTest, ACloseWithoutARewardStillEarnsTheEmptyReward) {
  showLoadedAd();
  sdk->triggerRewardedVideoClose();
  ASSERT_FALSE(log->empty());
  EXPECT_EQ(log->front(), "didEarnReward(, 0)");
}

TEST_F(IronSourceRewardedVideoAdTest, FailingToPresentClearsLoadingAndReportsNothing) {
  ad->load();
  log->clear();
  ad->present(root);  // no readiness check: the SDK answers
  sdk->triggerRewardedVideoFailToShow(loadError);
  EXPECT_THAT(*log, ElementsAre("isLoading=false", "didFailToPresent(7)"));
}

TEST_F(IronSourceRewardedVideoAdTest, CallbacksAfterTheAdIsGoneAreDropped) {
  ad->load();
  std::weak_ptr<IronSourceRewardedVideoAd> weakAd = ad;
  ad.reset();
  EXPECT_TRUE(weakAd.expired());
  log->clear();
  EXPECT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  sdk->triggerRewardedVideoOpen();
  sdk->triggerRewardedVideoReward({"coins", Platform::Decimal::fromInt(1), "Home"});
  sdk->triggerRewardedVideoClose();
  EXPECT_THAT(*log, IsEmpty());
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 1u);  // nobody reloads
}

TEST_F(IronSourceRewardedVideoAdTest, TheLastAdToLoadListensToTheSharedSlot) {
  auto other = IronSourceRewardedVideoAd::create(reporter);
  ad->load();
  ASSERT_TRUE(sdk->failRewardedVideoLoad(loadError));
  other->load();
  EXPECT_EQ(slotListener(), other);
  log->clear();
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  EXPECT_THAT(*log,
              ElementsAre("loaded(ironSource, rewardedvideo, " + other->uuid() + ", UnityAds)"));
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_TRUE(ad->isReady());  // readiness is the SDK's, whoever listens
}

}  // namespace
}  // namespace QVRAdKit
