#include <algorithm>
#include <stdexcept>
#include <string>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::AdTesting {
namespace {

// A host whose every delegate requirement throws; it notes the requirements it was called with.
class ThrowingDelegate final : public InterstitialAdDelegate,
                               public AppOpenAdDelegate,
                               public RewardedVideoAdDelegate {
 public:
  Strings calls;

  void interstitialAdDidOpen(InterstitialAd&) override { fail("interstitialAdDidOpen"); }
  void interstitialAdWillClose(InterstitialAd&) override { fail("interstitialAdWillClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { fail("interstitialAdDidClose"); }
  void interstitialAdDidFail(InterstitialAd&) override { fail("interstitialAdDidFail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override {
    fail("interstitialAdDidFailToShow");
  }
  void appOpenAdDidOpen(AppOpenAd&) override { fail("appOpenAdDidOpen"); }
  void appOpenAdDidClose(AppOpenAd&) override { fail("appOpenAdDidClose"); }
  void appOpenAdDidFailToPresent(AppOpenAd&) override { fail("appOpenAdDidFailToPresent"); }
  void rewardedVideoAdDidEarnReward(RewardedVideoAd&) override {
    fail("rewardedVideoAdDidEarnReward");
  }
  void rewardedVideoAdDidStartLoading(RewardedVideoAd&) override {
    fail("rewardedVideoAdDidStartLoading");
  }
  void rewardedVideoAdDidLoad(RewardedVideoAd&) override { fail("rewardedVideoAdDidLoad"); }
  void rewardedVideoAdDidFailToLoad(RewardedVideoAd&, const Platform::Error&) override {
    fail("rewardedVideoAdDidFailToLoad");
  }
  void rewardedVideoAdDidOpen(RewardedVideoAd&) override { fail("rewardedVideoAdDidOpen"); }
  void rewardedVideoAdDidFailToPresent(RewardedVideoAd&, const Platform::Error&) override {
    fail("rewardedVideoAdDidFailToPresent");
  }
  void rewardedVideoAdDidClose(RewardedVideoAd&) override { fail("rewardedVideoAdDidClose"); }

 private:
  void fail(const char* requirement) {
    calls.emplace_back(requirement);
    throw std::runtime_error(std::string("host delegate threw in ") + requirement);
  }
};

// Both scripted networks in one environment. Without a delegate (false) or with one that throws at
// every call (true): either way every ad runs the same life, since what the host's delegate throws
// stays at the module's boundary.
class AdsWithoutDelegateTest : public AdMobTest, public ::testing::WithParamInterface<bool> {
 protected:
  AdsWithoutDelegateTest() {
    ironSource->install(*environment);
    IronSourceHelper::sharedInstance(*environment)->start("app-key", [] {});
    environment->setService<QVLogger>(logger);
    if (GetParam()) thrower = std::make_shared<ThrowingDelegate>();
  }

  // Loads a rewarded ad (the others load on creation), answers the load through `fill`, presents
  // the ad and closes it through `close`; checks the reports and the loading stream, and that the
  // ad is loaded (and, if rewarded, ready) after the answer and not after the close: then a
  // rewarded ad reloads, any other is discarded, not failed.
  template <class Ad>
  void live(const std::shared_ptr<Ad>& ad, const std::function<bool()>& fill,
            const std::function<void()>& close, const Strings& reports, const Strings& loadings) {
    constexpr bool rewarded = std::is_base_of_v<RewardedVideoAd, Ad>;
    if (thrower) ad->setDelegate(thrower);
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
  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<ThrowingDelegate> thrower;
};

// Nobody listens, or the listener throws at every call, yet every ad loads, shows and closes,
// reports each step and sets its flags.
TEST_P(AdsWithoutDelegateTest, EveryAdRunsItsWholeLifeAndReportsIt) {
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

  // Each throw is logged once, at error level, under the requirement's name; nothing else is.
  Strings logged;
  for (const auto& entry : logger->entries()) {
    EXPECT_EQ(entry.flag, LogFlag::error) << entry.message;
    EXPECT_NE(entry.message.find("host delegate threw in "), std::string::npos) << entry.message;
    logged.push_back(entry.function.substr(0, entry.function.find('(')));
  }
  if (!thrower) {
    EXPECT_TRUE(logged.empty());
    return;
  }
  EXPECT_EQ(logged, thrower->calls);
  // Every kind of ad reached its delegate: the throws did not stop the notifications either.
  for (const char* requirement :
       {"interstitialAdDidOpen", "interstitialAdWillClose", "interstitialAdDidClose",
        "appOpenAdDidOpen", "appOpenAdDidClose", "rewardedVideoAdDidStartLoading",
        "rewardedVideoAdDidLoad", "rewardedVideoAdDidOpen", "rewardedVideoAdDidEarnReward"}) {
    EXPECT_NE(std::ranges::find(thrower->calls, requirement), thrower->calls.end()) << requirement;
  }
}

INSTANTIATE_TEST_SUITE_P(NoDelegateOrOneThatThrows, AdsWithoutDelegateTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "ThrowingDelegate" : "NoDelegate";
                         });

}  // namespace
}  // namespace QVRAdKit::AdTesting
