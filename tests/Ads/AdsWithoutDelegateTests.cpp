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
    IronSourceHelper::sharedInstance(*environment)->start("app-key", [] {});
  }

  // Loads a rewarded ad (the others load on creation), answers the load through `fill`, presents
  // the ad and closes it through `close`; checks the reports and the loading stream, and that the
  // ad is loaded (and, if rewarded, ready) after the answer and not after the close: then a
  // rewarded ad reloads, any other is discarded, not failed.
  template <class Ad>
  void live(const std::shared_ptr<Ad>& ad, const std::function<bool()>& fill,
            const std::function<void()>& close, const Strings& reports, const Strings& loadings) {
    constexpr bool rewarded = std::is_base_of_v<RewardedVideoAd, Ad>;
    StreamRecorder loading(ad->isLoadingStream());
    if constexpr (rewarded) ad->load();
    ASSERT_TRUE(fill());
    EXPECT_TRUE(ad->isLoaded());
    if constexpr (rewarded) {
      EXPECT_TRUE(ad->isReady());
    }
    ad->present(root);
    close();
    EXPECT_EQ(log->take(), reports);
    EXPECT_FALSE(ad->isLoaded());
    if constexpr (rewarded) {
      EXPECT_TRUE(!ad->isReady() && ad->isLoading());  // reloading
    } else {
      EXPECT_TRUE(ad->isContentDiscarded() && !ad->isFailed());
    }
    EXPECT_EQ(loading.events, loadings);
  }
  bool fillAdMob() { return gma->fill(gma->requests().back().id, "NetA"); }
  void closeAdMob(bool willDismiss) {
    const RequestID id = gma->requests().back().id;
    EXPECT_TRUE(gma->willPresent(id) && (!willDismiss || gma->willDismiss(id)) && gma->dismiss(id));
  }
  void closeIronSource(void (Sandbox::ScriptedIronSource::*open)(),
                       void (Sandbox::ScriptedIronSource::*close)()) {
    ((*ironSource).*open)();
    ((*ironSource).*close)();
  }

  std::shared_ptr<Sandbox::ScriptedIronSource> ironSource = Sandbox::ScriptedIronSource::create();
};

// Nobody listens, yet every ad loads, shows and closes, reports each step and sets its flags.
TEST_F(AdsWithoutDelegateTest, EveryAdRunsItsWholeLifeAndReportsIt) {
  auto interstitial = AdmobInterstitialAd::create(*environment, "unit", reporter);
  live(
      interstitial, [&] { return fillAdMob(); }, [&] { closeAdMob(true); },
      {"requested(adMob, unit, A)", "loaded(adMob, unit, A, NetA)", "opened(adMob, unit, A, NetA)",
       "viewed(adMob, unit, A, NetA)"},
      {"1", "0", "completed"});
  EXPECT_TRUE(interstitial->hasBeenUsed());

  auto appOpen = AdmobAppOpenAd::create(*environment, "unit", reporter);
  live(
      appOpen, [&] { return fillAdMob(); }, [&] { closeAdMob(false); },
      {"requested(adMob, unit, B)", "loaded(adMob, unit, B, NetA)", "opened(adMob, unit, B, NetA)",
       "viewed(adMob, unit, B, NetA)"},
      {"1", "0"});

  auto rewarded = AdmobRewardedVideoAd::create(*environment, "unit", reporter);
  live(
      rewarded, [&] { return fillAdMob(); }, [&] { closeAdMob(false); },  // the close reloads
      {"requested(adMob, unit, C)", "loaded(adMob, unit, C, NetA)", "opened(adMob, unit, C, NetA)",
       "requested(adMob, unit, C)", "viewed(adMob, unit, C, nil)"},
      {"0", "1", "0", "1"});
  EXPECT_EQ(gma->requests().size(), 4u);  // one each before, the rewarded two

  using SDK = Sandbox::ScriptedIronSource;
  auto isInterstitial = IronSourceInterstitialAd::create(
      IronSourceHelper::sharedInstance(*environment), "connect", reporter);
  live(
      isInterstitial, [&] { return ironSource->fillInterstitialLoad("UnityAds"); },
      [&] { closeIronSource(&SDK::triggerInterstitialOpen, &SDK::triggerInterstitialClose); },
      {"requested(ironSource, nil, D)", "loaded(ironSource, nil, D, UnityAds)",
       "opened(ironSource, connect, D, UnityAds)", "viewed(ironSource, connect, D, UnityAds)"},
      {"0"});
  EXPECT_TRUE(isInterstitial->hasBeenUsed());
  EXPECT_EQ(ironSource->interstitialLoadCalls(), 2u);  // the bridge reloads the shared slot

  auto isRewarded =
      IronSourceRewardedVideoAd::create(IronSourceHelper::sharedInstance(*environment), reporter);
  live(
      isRewarded, [&] { return ironSource->fillRewardedVideoLoad("UnityAds", "rv"); },
      [&] { closeIronSource(&SDK::triggerRewardedVideoOpen, &SDK::triggerRewardedVideoClose); },
      {"requested(ironSource, , E)", "loaded(ironSource, rv, E, UnityAds)",
       "opened(ironSource, rv, E, UnityAds)", "requested(ironSource, , E)"},  // the close reloads
      {"0", "1", "0", "1"});
  EXPECT_EQ(ironSource->rewardedVideoLoadCalls(), 2u);
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
