#include <gtest/gtest.h>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"

namespace QVRAdKit::AdTesting {
namespace {

// Both scripted networks in one environment; no ad gets a host delegate.
class AdsWithoutDelegateTest : public AdMobTest {
 protected:
  AdsWithoutDelegateTest() {
    ironSource->install(*environment);
    IronSourceHelper::sharedInstance()->start("app-key", [] {});
  }

  RequestID lastRequest() const { return gma->requests().back().id; }

  std::shared_ptr<Sandbox::ScriptedIronSource> ironSource = Sandbox::ScriptedIronSource::create();
};

// Nobody listens, yet every ad loads, shows and closes, reports each step and sets its flags.
TEST_F(AdsWithoutDelegateTest, EveryAdRunsItsWholeLifeAndReportsIt) {
  {
    auto ad = AdmobInterstitialAd::create("unit", reporter);
    StreamRecorder loading(ad->isLoadingStream());
    const RequestID id = lastRequest();
    ASSERT_TRUE(gma->fill(id, "NetA"));
    EXPECT_TRUE(ad->isLoaded());
    ad->present(root);
    EXPECT_TRUE(gma->willPresent(id) && gma->willDismiss(id) && gma->dismiss(id));
    EXPECT_EQ(log->take(),
              (Strings{"requested(adMob, unit, A)", "loaded(adMob, unit, A, NetA)",
                       "opened(adMob, unit, A, NetA)", "viewed(adMob, unit, A, NetA)"}));
    EXPECT_TRUE(ad->hasBeenUsed());
    EXPECT_FALSE(ad->isFailed() || ad->isLoaded());
    EXPECT_EQ(loading.events, (Strings{"1", "0", "completed"}));
  }
  {
    auto ad = AdmobAppOpenAd::create("unit", reporter);
    StreamRecorder loading(ad->isLoadingStream());
    const RequestID id = lastRequest();
    ASSERT_TRUE(gma->fill(id, "NetA"));
    EXPECT_TRUE(ad->isLoaded());
    ad->present(root);
    EXPECT_TRUE(gma->willPresent(id) && gma->dismiss(id));
    EXPECT_EQ(log->take(),
              (Strings{"requested(adMob, unit, B)", "loaded(adMob, unit, B, NetA)",
                       "opened(adMob, unit, B, NetA)", "viewed(adMob, unit, B, NetA)"}));
    EXPECT_TRUE(ad->isContentDiscarded());
    EXPECT_FALSE(ad->isFailed() || ad->isLoaded());
    EXPECT_EQ(loading.events, (Strings{"1", "0"}));
  }
  {
    auto ad = AdmobRewardedVideoAd::create("unit", reporter);
    StreamRecorder loading(ad->isLoadingStream());
    ad->load();
    const RequestID id = lastRequest();
    ASSERT_TRUE(gma->fill(id, "NetA"));
    EXPECT_TRUE(ad->isReady());
    ad->present(root);
    EXPECT_TRUE(gma->willPresent(id) && gma->dismiss(id));  // the close reloads
    EXPECT_EQ(log->take(), (Strings{"requested(adMob, unit, C)", "loaded(adMob, unit, C, NetA)",
                                    "opened(adMob, unit, C, NetA)", "requested(adMob, unit, C)",
                                    "viewed(adMob, unit, C, nil)"}));
    EXPECT_TRUE(ad->isLoading());
    EXPECT_FALSE(ad->isLoaded() || ad->isReady());
    EXPECT_EQ(loading.events, (Strings{"0", "1", "0", "1"}));
    EXPECT_NE(lastRequest(), id);
  }
  {
    auto ad = IronSourceInterstitialAd::create("connect", reporter);
    StreamRecorder loading(ad->isLoadingStream());
    ASSERT_TRUE(ironSource->fillInterstitialLoad("UnityAds"));
    EXPECT_TRUE(ad->isLoaded());
    ad->present(root);
    ironSource->triggerInterstitialOpen();
    ironSource->triggerInterstitialClose();  // the bridge reloads the shared slot
    EXPECT_EQ(log->take(),
              (Strings{"requested(ironSource, nil, D)", "loaded(ironSource, nil, D, UnityAds)",
                       "opened(ironSource, connect, D, UnityAds)",
                       "viewed(ironSource, connect, D, UnityAds)"}));
    EXPECT_TRUE(ad->hasBeenUsed());
    EXPECT_FALSE(ad->isFailed() || ad->isLoaded());
    EXPECT_EQ(loading.events, Strings{"0"});
    EXPECT_EQ(ironSource->interstitialLoadCalls(), 2u);
  }
  {
    auto ad = IronSourceRewardedVideoAd::create(reporter);
    StreamRecorder loading(ad->isLoadingStream());
    ad->load();
    ASSERT_TRUE(ironSource->fillRewardedVideoLoad("UnityAds", "rv"));
    EXPECT_TRUE(ad->isLoaded());
    ad->present(root);
    ironSource->triggerRewardedVideoOpen();
    ironSource->triggerRewardedVideoClose();  // the close reloads
    EXPECT_EQ(log->take(),
              (Strings{"requested(ironSource, , E)", "loaded(ironSource, rv, E, UnityAds)",
                       "opened(ironSource, rv, E, UnityAds)", "requested(ironSource, , E)"}));
    EXPECT_TRUE(ad->isLoading());
    EXPECT_FALSE(ad->isLoaded());
    EXPECT_EQ(loading.events, (Strings{"0", "1", "0", "1"}));
    EXPECT_EQ(ironSource->rewardedVideoLoadCalls(), 2u);
  }
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
