#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::AdTesting {
namespace {

class AdmobRewardedVideoAdTest : public AdMobTest {
 protected:
  void SetUp() override {
    ad = AdmobRewardedVideoAd::create(*environment, "unit", reporter);
    ad->setDelegate(delegate);
    log->probe = [raw = ad.get()] {
      return std::string(raw->isLoading() ? "loading" : "-") + (raw->isLoaded() ? " loaded" : "") +
             (raw->isReady() ? " ready" : "");
    };
  }

  // Loads and fills the ad; answers the request's id.
  RequestID loadAndFill() {
    ad->load();
    const RequestID id = gma->requests().back().id;
    gma->fill(id, "NetA", GADAdReward{*Platform::Decimal::fromString("2.50"), "gems"});
    log->take();
    return id;
  }

  std::shared_ptr<AdmobRewardedVideoAd> ad;
};

TEST_F(AdmobRewardedVideoAdTest, LoadRunsOnceAtATimeAndReportsInOrder) {
  const std::string notReady =
      "didFailToPresent(QVRAdKit.RewardedAdError#1, Rewarded video is not ready or failed to load)";
  StreamRecorder loading(ad->isLoadingStream());
  ad->present(root);  // before any load
  EXPECT_EQ(log->take(), Strings{notReady + " [-]"});
  EXPECT_TRUE(gma->requests().empty());  // creation does not load

  ad->load();
  ad->load();
  const RequestID id = onlyRequest(AdKind::rewarded);
  ad->present(root);  // the load has not answered: still not ready
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [-]", "requested(adMob, unit, A) [loading]",
                                  notReady + " [loading]"}));

  gma->fill(id, "NetA");
  gma->fail(id, error(2));  // the SDK calls back twice: ignored
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded(adMob, unit, A, NetA) [- loaded ready]"}));
  EXPECT_EQ(loading.events, (Strings{"0", "1", "0"}));
}

TEST_F(AdmobRewardedVideoAdTest, FailedLoadCanBeRetriedAndAnEmptyAnswerIsLoadedButNotReady) {
  ad->load();
  gma->fail(gma->requests().back().id, error(2));
  ad->load();
  ASSERT_EQ(gma->requests().size(), 2u);
  gma->answerEmpty(gma->requests().back().id);
  EXPECT_EQ(log->take(),
            (Strings{"didStartLoading [-]", "requested(adMob, unit, A) [loading]",
                     "didFailToLoad(gma#2) [-]", "failed(adMob, unit, A, nil, gma#2) [-]",
                     "didStartLoading [-]", "requested(adMob, unit, A) [loading]",
                     "didLoad [- loaded]", "loaded(adMob, unit, A, nil) [- loaded]"}));
}

TEST_F(AdmobRewardedVideoAdTest, LoadIsReportedAfterTheHostWithTheAdHeldThen) {
  // The host starts another load when told of this one: that clears the ad, so the report that
  // follows names no network.
  log->onAdd = [this](const std::string& entry) {
    if (entry.starts_with("didLoad")) ad->load();
  };
  ad->load();
  gma->fill(gma->requests().back().id, "NetA");
  EXPECT_EQ(log->take(), (Strings{"didStartLoading [-]", "requested(adMob, unit, A) [loading]",
                                  "didLoad [- loaded ready]", "didStartLoading [- loaded]",
                                  "requested(adMob, unit, A) [loading]",
                                  "loaded(adMob, unit, A, nil) [loading]"}));
}

TEST_F(AdmobRewardedVideoAdTest, RewardReloadsAtOnceAndOnlyACloseWithoutALoadRunningLoadsAgain) {
  StreamRecorder ready(ad->isReadyStream());
  StreamRecorder loaded(ad->isLoadedStream());
  const RequestID first = loadAndFill();
  ad->present(root);
  EXPECT_EQ(gma->presentedFrom(first), root);
  gma->willPresent(first);
  EXPECT_TRUE(gma->earnReward(first));
  EXPECT_EQ(ad->getRewardValue().stringValue(), "2.5");
  // At didStartLoading the ad is already cleared (not ready) but the loaded flag drops only after.
  EXPECT_EQ(log->take(),
            (Strings{"didOpen [- loaded ready]", "opened(adMob, unit, A, NetA) [- loaded ready]",
                     "didEarnReward(gems, 2.5) [- loaded ready]", "didStartLoading [- loaded]",
                     "requested(adMob, unit, A) [loading]"}));
  gma->willDismiss(first);
  gma->dismiss(first);  // the reload runs: no second load; the cleared ad has no network
  EXPECT_EQ(log->take(), (Strings{"didClose [loading]", "viewed(adMob, unit, A, nil) [loading]"}));
  auto logger = std::make_shared<Sandbox::RecordingLogger>();
  environment->setService<QVLogger>(logger);
  gma->fill(first, "Stale");  // the first load answers again during the second: ignored
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(logger->assertionFailures().size(), 1u);  // and named
  ASSERT_EQ(gma->requests().size(), 2u);

  const RequestID second = gma->requests().back().id;
  gma->fill(second, "NetB");
  EXPECT_EQ(log->take(),
            (Strings{"didLoad [- loaded ready]", "loaded(adMob, unit, A, NetB) [- loaded ready]"}));
  EXPECT_EQ(ready.events, (Strings{"0", "1", "0", "1"}));
  EXPECT_EQ(loaded.events, (Strings{"0", "1", "0", "1"}));

  // A close without reward, with no load running, reloads before telling the host.
  ad->present(root);
  gma->willPresent(second);
  log->take();
  gma->dismiss(second);
  EXPECT_EQ(log->take(),
            (Strings{"didStartLoading [- loaded]", "requested(adMob, unit, A) [loading]",
                     "didClose [loading]", "viewed(adMob, unit, A, nil) [loading]"}));
  EXPECT_EQ(gma->requests().size(), 3u);
}

TEST_F(AdmobRewardedVideoAdTest, FailedPresentationNotifiesThenReportsWithTheNetwork) {
  const RequestID id = loadAndFill();
  ad->present(root);
  gma->failToPresent(id, error(19));
  EXPECT_EQ(log->take(), (Strings{"didFailToPresent(gma#19, failed) [- loaded ready]",
                                  "failed(adMob, unit, A, NetA, gma#19) [- loaded ready]"}));
  EXPECT_EQ(gma->requests().size(), 1u);  // no reload
  EXPECT_FALSE(gma->earnReward(id));      // the presentation ended with its handler
}

using AdmobAdapterLifetimeTest = AdMobTest;

// Neither a pending load, nor the SDK ad, nor its presentation, nor the reward handler keeps an
// adapter alive, and what the SDK says after the adapter is gone is dropped.
TEST_F(AdmobAdapterLifetimeTest, CallbacksAfterTheAdaptersAreGoneAreDropped) {
  std::vector<std::weak_ptr<void>> adapters;
  {
    auto interstitial = AdmobInterstitialAd::create(*environment, "unit", reporter);
    auto appOpen = AdmobAppOpenAd::create(*environment, "unit", reporter);
    auto rewarded = AdmobRewardedVideoAd::create(*environment, "unit", reporter);
    rewarded->load();
    for (const auto& request : gma->requests()) gma->fill(request.id, "NetA");
    interstitial->present(root);
    appOpen->present(root);
    rewarded->present(root);
    rewarded->load();  // left pending, like the loads of two more ads
    adapters = {interstitial, appOpen, rewarded,
                AdmobInterstitialAd::create(*environment, "unit", reporter),
                AdmobAppOpenAd::create(*environment, "unit", reporter)};
  }
  for (const auto& adapter : adapters) EXPECT_TRUE(adapter.expired());
  const auto requests = gma->requests();
  ASSERT_EQ(requests.size(), 6u);
  log->clear();
  EXPECT_TRUE(gma->earnReward(requests[2].id));  // the handler runs and does nothing
  for (std::size_t shown = 0; shown < 3; ++shown) {
    EXPECT_FALSE(gma->willPresent(requests[shown].id)) << shown;
    EXPECT_FALSE(gma->dismiss(requests[shown].id)) << shown;
    EXPECT_FALSE(gma->failToPresent(requests[shown].id, error(2))) << shown;
  }
  for (std::size_t i = 3; i < 6; ++i) EXPECT_TRUE(gma->fill(requests[i].id, "NetA")) << i;
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(gma->requests().size(), 6u);  // nobody reloads
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
