#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"

namespace QVRAdKit::AdMobTesting {
namespace {

using Strings = std::vector<std::string>;

class AdmobRewardedVideoAdTest : public AdMobAdapterTest {
 protected:
  std::shared_ptr<AdmobRewardedVideoAd> makeAd() {
    auto ad = AdmobRewardedVideoAd::create("/1/timewall", reporter);
    ad->setDelegate(delegate);
    log->probe = [raw = ad.get()] {
      return std::string(raw->isLoading() ? "loading" : "-") + (raw->isLoaded() ? " loaded" : "") +
             (raw->isReady() ? " ready" : "");
    };
    return ad;
  }

  // Loads and fills the ad; answers the request's id.
  RequestID loadAndFill(AdmobRewardedVideoAd& ad, const std::string& network = "NetA") {
    ad.load();
    const RequestID id = gma->requests().back().id;
    gma->fill(id, network, GADAdReward{*Platform::Decimal::fromString("2.50"), "gems"});
    log->take();
    return id;
  }

  std::shared_ptr<RecordingRewardedDelegate> delegate =
      std::make_shared<RecordingRewardedDelegate>(log);
};

TEST_F(AdmobRewardedVideoAdTest, LoadSetsFlagsInOrderAndLoadsOnlyOnceAtATime) {
  auto ad = makeAd();
  EXPECT_TRUE(gma->requests().empty());  // creation does not load
  EXPECT_EQ(ad->adUnitID(), "/1/timewall");
  EXPECT_EQ(ad->getRewardType(), "");
  EXPECT_TRUE(ad->getRewardValue().isZero());
  StreamRecorder loading;
  loading.record(ad->isLoadingStream());

  ad->load();
  ad->load();
  const RequestID id = onlyRequest(AdKind::rewarded, "/1/timewall");
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [-]", "requested /1/timewall [loading]"}));

  gma->fill(id, "NetA");
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded /1/timewall NetA [- loaded ready]"}));
  EXPECT_EQ(loading.events, (Strings{"0", "1", "0"}));
  EXPECT_EQ(gma->ad(id)->fullScreenContentDelegate().get(),
            static_cast<GADFullScreenContentDelegate*>(ad.get()));
}

TEST_F(AdmobRewardedVideoAdTest, StreamsSuppressRepeats) {
  auto ad = makeAd();
  StreamRecorder ready;
  StreamRecorder loaded;
  ready.record(ad->isReadyStream());
  loaded.record(ad->isLoadedStream());
  loadAndFill(*ad);
  ad->present(viewController);
  gma->earnReward(gma->requests().back().id);  // reloads: loaded and ready drop
  gma->fill(gma->requests().back().id, "NetB");
  EXPECT_EQ(ready.events, (Strings{"0", "1", "0", "1"}));
  EXPECT_EQ(loaded.events, (Strings{"0", "1", "0", "1"}));
}

TEST_F(AdmobRewardedVideoAdTest, LoadWithoutAdOrErrorIsLoadedButNotReady) {
  auto ad = makeAd();
  ad->load();
  log->take();
  gma->answerEmpty(onlyRequest(AdKind::rewarded, "/1/timewall"));
  EXPECT_EQ(log->take(), (Strings{"didLoad [- loaded]", "loaded /1/timewall - [- loaded]"}));
  EXPECT_TRUE(ad->isLoaded());
  EXPECT_FALSE(ad->isReady());
}

TEST_F(AdmobRewardedVideoAdTest, LoadFailureReturnsToIdleAndTheNextLoadRequestsAgain) {
  auto ad = makeAd();
  ad->load();
  log->take();
  gma->fail(onlyRequest(AdKind::rewarded, "/1/timewall"), networkError());
  EXPECT_EQ(log->take(), (Strings{"didFailToLoad com.google.admob#2 [-]",
                                  "failed /1/timewall - com.google.admob#2 [-]"}));
  EXPECT_FALSE(ad->isLoaded());
  EXPECT_FALSE(ad->isReady());

  ad->load();
  EXPECT_EQ(gma->requests().size(), 2u);
  EXPECT_EQ(log->uuids, Strings(3, ad->uuid()));
}

TEST_F(AdmobRewardedVideoAdTest, PresentBeforeLoadTellsTheDelegateNotReady) {
  auto ad = makeAd();
  ad->present(viewController);
  EXPECT_EQ(log->take(), Strings{"didFailToPresent QVRAdKit.RewardedAdError#1 Rewarded video is "
                                 "not ready or failed to load [-]"});
  ad->load();  // still loading: no ad yet
  log->take();
  ad->present(viewController);
  EXPECT_EQ(log->entries.size(), 1u);
  EXPECT_EQ(log->uuids.size(), 1u);  // only the request was reported
}

TEST_F(AdmobRewardedVideoAdTest, RewardReloadsAtOnceAndTheCloseDoesNotLoadAgain) {
  auto ad = makeAd();
  const std::string uuid = ad->uuid();
  const RequestID id = loadAndFill(*ad);

  ad->present(viewController);
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_EQ(gma->presentedFrom(id), viewController);
  gma->willPresent(id);
  EXPECT_EQ(log->take(),
            (Strings{"didOpen [- loaded ready]", "opened /1/timewall NetA [- loaded ready]"}));

  EXPECT_TRUE(gma->earnReward(id));
  EXPECT_EQ(ad->getRewardType(), "gems");
  EXPECT_EQ(ad->getRewardValue().stringValue(), "2.5");
  // At didStartLoading the ad is already cleared (not ready) but the loaded flag drops only after.
  EXPECT_EQ(log->take(),
            (Strings{"didEarnReward 2.5 gems [- loaded ready]", "didStartLoading [- loaded]",
                     "requested /1/timewall [loading]"}));
  EXPECT_EQ(gma->requests().size(), 2u);

  gma->willDismiss(id);
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"didClose [loading]", "viewed /1/timewall - [loading]"}));
  EXPECT_EQ(gma->requests().size(), 2u);
  EXPECT_EQ(log->uuids, Strings(5, uuid));  // the uuid survives the reload
  EXPECT_EQ(ad->uuid(), uuid);
}

TEST_F(AdmobRewardedVideoAdTest, CloseWithoutRewardReloadsBeforeNotifying) {
  auto ad = makeAd();
  const RequestID id = loadAndFill(*ad);
  ad->present(viewController);
  gma->willPresent(id);
  log->take();
  gma->dismiss(id);
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [- loaded]", "requested /1/timewall [loading]",
                                  "didClose [loading]", "viewed /1/timewall - [loading]"}));
  EXPECT_EQ(gma->requests().size(), 2u);
}

TEST_F(AdmobRewardedVideoAdTest, CloseAfterTheReloadFinishedStartsAnotherLoad) {
  auto ad = makeAd();
  const RequestID id = loadAndFill(*ad);
  ad->present(viewController);
  gma->earnReward(id);
  gma->fill(gma->requests().back().id, "NetB");
  log->take();
  gma->dismiss(id);  // a load is no longer running: the close starts another one
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [- loaded]", "requested /1/timewall [loading]",
                                  "didClose [loading]", "viewed /1/timewall - [loading]"}));
  EXPECT_EQ(gma->requests().size(), 3u);
}

TEST_F(AdmobRewardedVideoAdTest, FailedPresentationNotifiesThenReportsWithTheNetwork) {
  auto ad = makeAd();
  const RequestID id = loadAndFill(*ad);
  ad->present(viewController);
  gma->failToPresent(id, Platform::Error{"com.google.admob", 19, "used"});
  EXPECT_EQ(log->take(), (Strings{"didFailToPresent com.google.admob#19 used [- loaded ready]",
                                  "failed /1/timewall NetA com.google.admob#19 [- loaded ready]"}));
  EXPECT_EQ(gma->requests().size(), 1u);  // no reload
  EXPECT_FALSE(gma->earnReward(id));      // the presentation ended with its handler
}

TEST_F(AdmobRewardedVideoAdTest, CompletionsAndHandlersAfterTheAdapterIsGoneAreDropped) {
  std::weak_ptr<AdmobRewardedVideoAd> weak;
  RequestID shown = 0;
  {
    auto ad = makeAd();
    log->probe = nullptr;
    shown = loadAndFill(*ad);
    ad->present(viewController);
    ad->load();  // the first load has finished: this starts a second one, left pending
    weak = ad;
  }
  // Neither the pending load, nor the SDK ad, nor the reward handler it holds keeps the adapter.
  EXPECT_TRUE(weak.expired());
  log->take();
  const RequestID pending = gma->requests().back().id;
  EXPECT_TRUE(gma->earnReward(shown));  // the handler runs and does nothing
  EXPECT_FALSE(gma->willPresent(shown));
  EXPECT_FALSE(gma->dismiss(shown));
  EXPECT_TRUE(gma->fill(pending, "NetA"));
  EXPECT_TRUE(log->entries.empty());
  EXPECT_EQ(gma->requests().size(), 2u);
}

TEST_F(AdmobRewardedVideoAdTest, RepeatedOrStaleCompletionsAreIgnored) {
  auto ad = makeAd();
  const RequestID first = loadAndFill(*ad);
  gma->fail(first, networkError());  // the same load answers again
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(ad->isReady());

  ad->present(viewController);
  gma->earnReward(first);  // starts the second load
  log->take();
  gma->fill(first, "Stale");  // the first load answers during the second one
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(ad->isLoading());
  EXPECT_FALSE(ad->isReady());

  gma->fill(gma->requests().back().id, "NetB");
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded /1/timewall NetB [- loaded ready]"}));
}

TEST_F(AdmobRewardedVideoAdTest, WithoutDelegateFlagsAndReportsStillHappen) {
  auto ad = AdmobRewardedVideoAd::create("/1/timewall", reporter);
  ad->present(viewController);  // nobody to tell
  const RequestID id = loadAndFill(*ad);
  EXPECT_TRUE(ad->isReady());
  ad->present(viewController);
  gma->willPresent(id);
  gma->earnReward(id);
  EXPECT_EQ(ad->getRewardType(), "gems");
  EXPECT_EQ(log->take(), (Strings{"opened /1/timewall NetA", "requested /1/timewall"}));
}

}  // namespace
}  // namespace QVRAdKit::AdMobTesting
