#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "AdMobTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"

namespace QVRAdKit::AdMobTesting {
namespace {

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
  RequestID loadAndFill(AdmobRewardedVideoAd& ad) {
    ad.load();
    const RequestID id = gma->requests().back().id;
    gma->fill(id, "NetA", GADAdReward{*Platform::Decimal::fromString("2.50"), "gems"});
    log->take();
    return id;
  }

  std::shared_ptr<RecordingRewardedDelegate> delegate =
      std::make_shared<RecordingRewardedDelegate>(log);
};

TEST_F(AdmobRewardedVideoAdTest, LoadRunsOnceAtATimeAndReportsInOrder) {
  const std::string notReady =
      "didFailToPresent QVRAdKit.RewardedAdError#1 Rewarded video is not ready or failed to load";
  auto ad = makeAd();
  StreamRecorder loading(ad->isLoadingStream());
  ad->present(viewController);  // before any load
  EXPECT_EQ(log->take(), Strings{notReady + " [-]"});
  EXPECT_TRUE(gma->requests().empty());  // creation does not load

  ad->load();
  ad->load();
  const RequestID id = onlyRequest(AdKind::rewarded, "/1/timewall");
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [-]", "requested /1/timewall [loading]"}));
  ad->present(viewController);  // the load has not answered: still not ready
  EXPECT_EQ(log->take(), Strings{notReady + " [loading]"});

  gma->fill(id, "NetA");
  gma->fail(id, error(2));  // the SDK calls back twice: ignored
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded /1/timewall NetA [- loaded ready]"}));
  EXPECT_EQ(loading.events, (Strings{"0", "1", "0"}));
  EXPECT_TRUE(ad->isReady());
  EXPECT_EQ(log->uuids, Strings(2, ad->uuid()));
}

TEST_F(AdmobRewardedVideoAdTest, FailedLoadCanBeRetriedAndAnEmptyAnswerIsLoadedButNotReady) {
  auto ad = makeAd();
  ad->load();
  log->take();
  gma->fail(onlyRequest(AdKind::rewarded, "/1/timewall"), error(2));
  EXPECT_EQ(log->take(), (Strings{"didFailToLoad com.google.admob#2 [-]",
                                  "failed /1/timewall - com.google.admob#2 [-]"}));

  ad->load();
  ASSERT_EQ(gma->requests().size(), 2u);
  log->take();
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_EQ(log->take(), (Strings{"didLoad [- loaded]", "loaded /1/timewall - [- loaded]"}));
}

TEST_F(AdmobRewardedVideoAdTest, RewardReloadsAtOnceAndOnlyACloseWithoutALoadRunningLoadsAgain) {
  auto ad = makeAd();
  StreamRecorder ready(ad->isReadyStream());
  StreamRecorder loaded(ad->isLoadedStream());
  const RequestID first = loadAndFill(*ad);
  ad->present(viewController);
  EXPECT_EQ(gma->presentedFrom(first), viewController);
  gma->willPresent(first);
  EXPECT_EQ(log->take(),
            (Strings{"didOpen [- loaded ready]", "opened /1/timewall NetA [- loaded ready]"}));

  EXPECT_TRUE(gma->earnReward(first));
  EXPECT_EQ(ad->getRewardValue().stringValue(), "2.5");
  // At didStartLoading the ad is already cleared (not ready) but the loaded flag drops only after.
  EXPECT_EQ(log->take(),
            (Strings{"didEarnReward 2.5 gems [- loaded ready]", "didStartLoading [- loaded]",
                     "requested /1/timewall [loading]"}));
  gma->willDismiss(first);
  gma->dismiss(first);  // the reload runs: no second load; the cleared ad has no network
  EXPECT_EQ(log->take(), (Strings{"didClose [loading]", "viewed /1/timewall - [loading]"}));
  gma->fill(first, "Stale");  // the first load answers again during the second: ignored
  EXPECT_TRUE(log->entries.empty());
  ASSERT_EQ(gma->requests().size(), 2u);

  const RequestID second = gma->requests().back().id;
  gma->fill(second, "NetB");
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded /1/timewall NetB [- loaded ready]"}));
  EXPECT_EQ(ready.events, (Strings{"0", "1", "0", "1"}));
  EXPECT_EQ(loaded.events, (Strings{"0", "1", "0", "1"}));

  // A close without reward, with no load running, reloads before telling the host.
  ad->present(viewController);
  gma->willPresent(second);
  log->take();
  gma->dismiss(second);
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [- loaded]", "requested /1/timewall [loading]",
                                  "didClose [loading]", "viewed /1/timewall - [loading]"}));
  EXPECT_EQ(gma->requests().size(), 3u);
  EXPECT_EQ(log->uuids, Strings(8, ad->uuid()));  // the uuid survives the reloads
}

TEST_F(AdmobRewardedVideoAdTest, FailedPresentationNotifiesThenReportsWithTheNetwork) {
  auto ad = makeAd();
  const RequestID id = loadAndFill(*ad);
  ad->present(viewController);
  gma->failToPresent(id, error(19));
  EXPECT_EQ(log->take(), (Strings{"didFailToPresent com.google.admob#19 failed [- loaded ready]",
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
  EXPECT_TRUE(gma->earnReward(shown));  // the handler runs and does nothing
  EXPECT_FALSE(gma->willPresent(shown));
  EXPECT_FALSE(gma->dismiss(shown));
  EXPECT_TRUE(gma->fill(gma->requests().back().id, "NetA"));
  EXPECT_TRUE(log->entries.empty());
  EXPECT_EQ(gma->requests().size(), 2u);
}

}  // namespace
}  // namespace QVRAdKit::AdMobTesting
