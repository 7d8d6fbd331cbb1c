// A network bridge may repeat a full-screen callback (an ad dismissed twice). Each ad counts one
// opening, one close and, for a rewarded ad, one reward per showing; a repeat is named in the log
// and changes nothing: no second analytics record, no second host call, no second reward. Callbacks
// in another order are the network's to tell and still count.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Ads/AdTestSupport.h"
#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::AdTesting {
namespace {

constexpr const char* kWillPresent = "GADFullScreenContentDelegate.adWillPresentFullScreenContent";
constexpr const char* kWillDismiss = "GADFullScreenContentDelegate.adWillDismissFullScreenContent";
constexpr const char* kDidDismiss = "GADFullScreenContentDelegate.adDidDismissFullScreenContent";

// How many entries start with the prefix.
std::size_t count(const Strings& entries, const std::string& prefix) {
  return static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(),
                    [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
}

// The functions the assertion failures logged so far name, in order; the logger is then cleared.
Strings takeFailures(Sandbox::RecordingLogger& logger) {
  Strings functions;
  for (const auto& failure : logger.assertionFailures()) functions.push_back(failure.function);
  logger.clear();
  return functions;
}

class ShowingOutOfTurnTest : public AdMobTest {
 protected:
  enum class Kind { interstitial, appOpen, rewarded };

  ShowingOutOfTurnTest() { environment->setService<QVLogger>(logger); }

  // A loaded ad of the kind, reached through its present() (which holds it), and its request.
  struct LoadedAd {
    std::function<void()> present;
    RequestID id = 0;
  };
  template <class Ad>
  LoadedAd loaded(std::shared_ptr<Ad> ad) {
    ad->setDelegate(delegate);
    const RequestID id = gma->requests().back().id;
    EXPECT_TRUE(gma->fill(id, "NetA"));
    log->clear();
    return {[ad, this] { ad->present(root); }, id};
  }
  LoadedAd loadedAd(Kind kind) {
    switch (kind) {
      case Kind::interstitial:
        return loaded(AdmobInterstitialAd::create(*environment, "unit", reporter));
      case Kind::appOpen:
        return loaded(AdmobAppOpenAd::create(*environment, "unit", reporter));
      case Kind::rewarded: {
        auto ad = AdmobRewardedVideoAd::create(*environment, "unit", reporter);
        ad->load();
        return loaded(ad);
      }
    }
    return {};
  }

  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
};

TEST_F(ShowingOutOfTurnTest, AdmobAdsCountOneOpeningAndOneCloseForEachPresent) {
  for (const Kind kind : {Kind::interstitial, Kind::appOpen, Kind::rewarded}) {
    SCOPED_TRACE(static_cast<int>(kind));
    // Callbacks with no present() before them are not repeats: they count, once each.
    const LoadedAd unasked = loadedAd(kind);
    EXPECT_TRUE(gma->willPresent(unasked.id) && gma->dismiss(unasked.id) &&
                gma->dismiss(unasked.id));
    Strings entries = log->take();
    EXPECT_EQ(count(entries, "opened("), 1u);
    EXPECT_EQ(count(entries, "viewed("), 1u);
    EXPECT_EQ(takeFailures(*logger), Strings{kDidDismiss});

    // One showing whose every callback comes twice, and a dismissal after it ended.
    const auto [present, id] = loadedAd(kind);
    present();
    EXPECT_TRUE(gma->willPresent(id) && gma->willPresent(id));
    EXPECT_TRUE(gma->willDismiss(id) && gma->dismiss(id) && gma->dismiss(id));
    EXPECT_TRUE(gma->dismiss(id));
    entries = log->take();
    EXPECT_EQ(count(entries, "opened("), 1u);
    EXPECT_EQ(count(entries, "didOpen"), 1u);
    EXPECT_EQ(count(entries, "viewed("), 1u);
    EXPECT_EQ(count(entries, "didClose"), 1u);
    EXPECT_EQ(count(entries, "willClose"), kind == Kind::interstitial ? 1u : 0u);
    EXPECT_EQ(takeFailures(*logger), (Strings{kWillPresent, kDidDismiss, kDidDismiss}));
  }
}

// A present() starts a new showing unless the ad is on screen: a showing whose opening the network
// never tells still has its close counted, and a second present() during a showing (a double tap
// the network refuses) does not let that showing's close count twice.
TEST_F(ShowingOutOfTurnTest, PresentStartsAShowingOnlyOffScreen) {
  auto ad = AdmobRewardedVideoAd::create(*environment, "unit", reporter);
  ad->setDelegate(delegate);
  ad->load();
  for (int showing = 0; showing < 2; ++showing) {
    const RequestID id = gma->requests().back().id;
    ASSERT_TRUE(gma->fill(id, "NetA"));
    ad->present(root);
    EXPECT_TRUE(gma->dismiss(id));  // no opening told; the close reloads
  }
  EXPECT_EQ(count(log->take(), "viewed("), 2u);
  EXPECT_TRUE(logger->assertionFailures().empty());

  const auto [present, id] = loadedAd(Kind::interstitial);
  present();
  EXPECT_TRUE(gma->willPresent(id) && gma->willDismiss(id));
  present();
  EXPECT_TRUE(gma->failToPresent(id, error(4)) && gma->willDismiss(id) && gma->dismiss(id));
  const Strings entries = log->take();
  EXPECT_EQ(count(entries, "willClose"), 1u);
  EXPECT_EQ(count(entries, "viewed("), 1u);
  EXPECT_EQ(takeFailures(*logger), Strings{kWillDismiss});
}

TEST_F(ShowingOutOfTurnTest, ARewardHandlerRunTwiceGrantsOneReward) {
  const LoadedAd ad = loadedAd(Kind::rewarded);
  ad.present();
  const RequestID id = ad.id;
  EXPECT_TRUE(gma->willPresent(id) && gma->earnReward(id) && gma->earnReward(id));
  const Strings entries = log->take();
  EXPECT_EQ(count(entries, "didEarnReward"), 1u);
  EXPECT_EQ(count(entries, "requested("), 1u);  // the next ad is asked for once
  EXPECT_EQ(takeFailures(*logger), Strings{"GADRewardedAd.userDidEarnRewardHandler"});
}

class IronSourceShowingOutOfTurnTest : public IronSourceTest {
 protected:
  IronSourceShowingOutOfTurnTest() { environment->setService<QVLogger>(logger); }
  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
};

// The slot keeps a closed interstitial as its listener: a repeated close reaches it.
TEST_F(IronSourceShowingOutOfTurnTest, AnInterstitialClosedTwiceIsViewedOnce) {
  auto helper = startedHelper();
  auto ad = IronSourceInterstitialAd::create(helper, "connect", reporter);
  ad->setDelegate(delegate);
  ASSERT_TRUE(sdk->fillInterstitialLoad("UnityAds"));
  log->clear();
  ad->present(root);
  sdk->triggerInterstitialOpen();
  sdk->triggerInterstitialClose();
  sdk->triggerInterstitialClose();
  const Strings entries = log->take();
  EXPECT_EQ(count(entries, "opened("), 1u);
  EXPECT_EQ(count(entries, "viewed("), 1u);
  EXPECT_EQ(count(entries, "didClose"), 1u);
  EXPECT_EQ(takeFailures(*logger),
            Strings{"IronSourceInterstitialDelegate.ironSourceDidCloseWith"});
}

TEST_F(IronSourceShowingOutOfTurnTest, ARewardedVideoClosedTwiceEarnsOneReward) {
  auto helper = startedHelper();
  auto ad = IronSourceRewardedVideoAd::create(helper, reporter);
  ad->setDelegate(delegate);
  ad->load();
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));
  ad->present(root);
  sdk->triggerRewardedVideoOpen();
  sdk->triggerRewardedVideoReward({"coins", Platform::Decimal::fromInt(1), "Home"});
  sdk->triggerRewardedVideoClose();
  ASSERT_TRUE(sdk->fillRewardedVideoLoad("UnityAds"));  // the reload the close started
  sdk->triggerRewardedVideoClose();
  const Strings entries = log->take();
  EXPECT_EQ(count(entries, "didEarnReward"), 1u);
  EXPECT_EQ(count(entries, "opened("), 1u);
  EXPECT_EQ(sdk->rewardedVideoLoadCalls(), 2u);
  EXPECT_EQ(takeFailures(*logger), Strings{"IronSourceRewardedVideoDelegate.ironSourceDidClose"});
}

}  // namespace
}  // namespace QVRAdKit::AdTesting
