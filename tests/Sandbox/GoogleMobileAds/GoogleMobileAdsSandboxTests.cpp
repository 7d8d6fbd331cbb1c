#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"

namespace QVRAdKit::Sandbox {
namespace {

using Strings = std::vector<std::string>;
using AdKind = GoogleMobileAdsSandbox::AdKind;
using RequestState = GoogleMobileAdsSandbox::RequestState;

std::string outcome(const GADFullScreenPresentingAd* ad, const std::optional<Platform::Error>& e) {
  if (e) return "error " + std::to_string(e->code);
  if (!ad) return "empty";
  auto info = ad->responseInfo().loadedAdNetworkResponseInfo;
  return "ad " + (info ? info->adNetworkClassName : std::string("-"));
}

class RecordingContentDelegate final : public GADFullScreenContentDelegate {
 public:
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd&) override {
    events.push_back("willPresent");
  }
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd&) override {
    events.push_back("willDismiss");
  }
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd&) override {
    events.push_back("didDismiss");
  }
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd&,
                                                    const Platform::Error& error) override {
    events.push_back("didFail " + std::to_string(error.code));
  }
  void adDidRecordClick(GADFullScreenPresentingAd&) override { events.push_back("click"); }
  Strings events;
};

class GoogleMobileAdsSandboxTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<GoogleMobileAdsSandbox> gma = GoogleMobileAdsSandbox::install(*environment);
  std::shared_ptr<Platform::ViewController> viewController =
      std::make_shared<Platform::ViewController>();
};

TEST(GoogleMobileAdsPortTest, SharedInstanceIsTheImplementationOfTheCurrentEnvironment) {
  auto first = Platform::Environment::makeForTesting();
  auto second = Platform::Environment::makeForTesting();
  Platform::Environment::Scope firstScope(*first);
  EXPECT_EQ(GADMobileAds::sharedInstance(), nullptr);
  auto installed = GoogleMobileAdsSandbox::install(*first);
  EXPECT_EQ(GADMobileAds::sharedInstance(), installed);
  {
    Platform::Environment::Scope secondScope(*second);
    EXPECT_EQ(GADMobileAds::sharedInstance(), nullptr);
  }
  EXPECT_EQ(GADMobileAds::sharedInstance(), installed);
}

TEST(GoogleMobileAdsPortTest, LoadsWithoutAnImplementationFailOnTheMainQueue) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  Strings outcomes;
  GAMInterstitialAd::loadWithAdManagerAdUnitID("a", GAMRequest{}, [&](auto ad, auto error) {
    outcomes.push_back(outcome(ad.get(), error));
  });
  GADAppOpenAd::loadWithAdUnitID("b", GADRequest{}, [&](auto ad, auto error) {
    outcomes.push_back(outcome(ad.get(), error));
  });
  GADRewardedAd::loadWithAdUnitID("c", GADRequest{}, [&](auto ad, auto error) {
    outcomes.push_back(outcome(ad.get(), error));
    EXPECT_EQ(error->domain, GADError::kDomain);
  });
  EXPECT_TRUE(outcomes.empty());  // never inside the load call
  environment->mainQueue().runUntilIdle();
  EXPECT_EQ(outcomes, (Strings{"error 11", "error 11", "error 11"}));
}

TEST_F(GoogleMobileAdsSandboxTest, StartCompletesOnTheMainQueueWhoeverAsks) {
  GADInitializationStatus status;
  status.adapterStatesByClassName["NetA"] = GADInitializationStatus::AdapterState::ready;
  gma->setInitializationStatus(status);
  std::vector<GADInitializationStatus> received;
  std::thread::id completedOn;
  std::thread([&] {
    GADMobileAds::sharedInstance()->startWithCompletionHandler([&](const auto& s) {
      received.push_back(s);
      completedOn = std::this_thread::get_id();
    });
  }).join();
  EXPECT_EQ(gma->startCallCount(), 1u);
  EXPECT_TRUE(received.empty());
  environment->mainQueue().runUntilIdle();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received.front(), status);
  EXPECT_EQ(completedOn, std::this_thread::get_id());

  // Delayed: due at the clock time.
  gma->setStartsAutomatically(true, 2.0);
  gma->startWithCompletionHandler([&](const auto& s) { received.push_back(s); });
  environment->advance(1.5);
  EXPECT_EQ(received.size(), 1u);
  environment->advance(0.5);
  EXPECT_EQ(received.size(), 2u);

  // Manual: waits for the test.
  gma->setStartsAutomatically(false);
  gma->startWithCompletionHandler([&](const auto& s) { received.push_back(s); });
  environment->advance(100);
  EXPECT_EQ(gma->pendingStartCount(), 1u);
  EXPECT_EQ(received.size(), 2u);
  gma->completeStart();
  EXPECT_EQ(received.size(), 3u);
  EXPECT_EQ(gma->pendingStartCount(), 0u);
  EXPECT_EQ(gma->startCallCount(), 3u);
}

TEST_F(GoogleMobileAdsSandboxTest, RequestsAreListedInOrderAndWaitForTheirAnswer) {
  Strings outcomes;
  std::shared_ptr<GADAppOpenAd> appOpen;
  GAMInterstitialAd::loadWithAdManagerAdUnitID("i", GAMRequest{}, [&](auto ad, auto error) {
    outcomes.push_back("interstitial " + outcome(ad.get(), error));
  });
  GADAppOpenAd::loadWithAdUnitID("o", GADRequest{}, [&](auto ad, auto error) {
    outcomes.push_back("appOpen " + outcome(ad.get(), error));
    appOpen = ad;
  });
  GADRewardedAd::loadWithAdUnitID("r", GADRequest{}, [&](auto ad, auto error) {
    outcomes.push_back("rewarded " + outcome(ad.get(), error));
  });
  environment->advance(3600);
  EXPECT_TRUE(outcomes.empty());  // never answered by itself

  auto requests = gma->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].kind, AdKind::interstitial);
  EXPECT_EQ(requests[1].kind, AdKind::appOpen);
  EXPECT_EQ(requests[2].kind, AdKind::rewarded);
  EXPECT_EQ((Strings{requests[0].adUnitID, requests[1].adUnitID, requests[2].adUnitID}),
            (Strings{"i", "o", "r"}));
  EXPECT_EQ(gma->pendingRequests().size(), 3u);

  EXPECT_TRUE(gma->fill(requests[1].id, "NetA"));
  EXPECT_TRUE(gma->fail(requests[2].id, GADError::make(GADError::kNoFill, "none")));
  EXPECT_TRUE(gma->answerEmpty(requests[0].id));
  EXPECT_FALSE(gma->fill(99));
  EXPECT_EQ(outcomes, (Strings{"appOpen ad NetA", "rewarded error 1", "interstitial empty"}));
  EXPECT_EQ(gma->request(requests[1].id)->state, RequestState::filled);
  EXPECT_EQ(gma->request(requests[1].id)->networkClassName, "NetA");
  EXPECT_EQ(gma->request(requests[2].id)->state, RequestState::failed);
  EXPECT_EQ(gma->request(requests[0].id)->state, RequestState::empty);
  EXPECT_TRUE(gma->pendingRequests().empty());
  EXPECT_EQ(gma->ad(requests[1].id), appOpen);

  // canPresent answers as set, with the reason.
  std::optional<Platform::Error> reason;
  EXPECT_TRUE(appOpen->canPresentFromRootViewController(viewController, &reason));
  gma->setCanPresent(requests[1].id, false, GADError::make(GADError::kAdAlreadyUsed, "used"));
  EXPECT_FALSE(appOpen->canPresentFromRootViewController(viewController, &reason));
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->code, GADError::kAdAlreadyUsed);
}

TEST_F(GoogleMobileAdsSandboxTest, PresentationCallbacksReachALiveDelegateOnly) {
  std::shared_ptr<GADRewardedAd> rewarded;
  GADRewardedAd::loadWithAdUnitID("r", GADRequest{}, [&](auto ad, auto) { rewarded = ad; });
  const auto id = gma->requests().back().id;
  gma->fill(id, std::nullopt, GADAdReward{Platform::Decimal::fromInt(3), "lives"});
  ASSERT_NE(rewarded, nullptr);
  EXPECT_FALSE(rewarded->responseInfo().loadedAdNetworkResponseInfo.has_value());
  EXPECT_EQ(rewarded->adReward(), (GADAdReward{Platform::Decimal::fromInt(3), "lives"}));

  auto delegate = std::make_shared<RecordingContentDelegate>();
  rewarded->setFullScreenContentDelegate(delegate);
  int rewards = 0;
  EXPECT_FALSE(gma->earnReward(id));  // not presented yet
  rewarded->presentFromRootViewController(viewController, [&] { ++rewards; });
  EXPECT_TRUE(gma->isOnScreen(id));
  EXPECT_EQ(gma->presentCount(id), 1u);
  EXPECT_TRUE(gma->willPresent(id));
  EXPECT_TRUE(gma->click(id));
  EXPECT_TRUE(gma->earnReward(id));
  EXPECT_TRUE(gma->willDismiss(id));
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_EQ(delegate->events, (Strings{"willPresent", "click", "willDismiss", "didDismiss"}));
  EXPECT_EQ(rewards, 1);
  EXPECT_FALSE(gma->isOnScreen(id));
  EXPECT_FALSE(gma->earnReward(id));  // the handler ended with the presentation

  rewarded->presentFromRootViewController(viewController, [&] { ++rewards; });
  EXPECT_TRUE(gma->failToPresent(id, GADError::make(GADError::kAdAlreadyUsed, "used")));
  EXPECT_EQ(delegate->events.back(), "didFail 19");
  EXPECT_FALSE(gma->earnReward(id));

  delegate.reset();  // held weakly by the ad
  EXPECT_EQ(rewarded->fullScreenContentDelegate(), nullptr);
  EXPECT_FALSE(gma->willPresent(id));
  EXPECT_FALSE(gma->dismiss(99));
}

TEST_F(GoogleMobileAdsSandboxTest, RetentionAndForgettingFinishedRequests) {
  auto load = [&] {
    GAMInterstitialAd::loadWithAdManagerAdUnitID("i", GAMRequest{}, [](auto, auto) {});
    return gma->requests().back().id;
  };
  // Scripted: the sandbox keeps each ad alive, so a test can call back after the adapter is gone.
  const auto kept = load();
  gma->fill(kept);
  EXPECT_NE(gma->ad(kept), nullptr);

  gma->setRetainsAds(false);
  EXPECT_EQ(gma->ad(kept), nullptr);
  const auto dropped = load();
  gma->fill(dropped);
  EXPECT_EQ(gma->ad(dropped), nullptr);

  // Without retention an ad lives on screen as long as its presentation.
  std::shared_ptr<GAMInterstitialAd> shown;
  GAMInterstitialAd::loadWithAdManagerAdUnitID("i", GAMRequest{},
                                               [&](auto ad, auto) { shown = ad; });
  const auto presented = gma->requests().back().id;
  gma->fill(presented);
  shown->presentFromRootViewController(viewController);
  std::weak_ptr<GAMInterstitialAd> weakShown = shown;
  shown.reset();
  EXPECT_FALSE(weakShown.expired());
  const auto pending = load();

  gma->forgetFinishedRequests();
  std::vector<GoogleMobileAdsSandbox::RequestID> left;
  for (const auto& request : gma->requests()) left.push_back(request.id);
  EXPECT_EQ(left, (std::vector<GoogleMobileAdsSandbox::RequestID>{presented, pending}));

  gma->dismiss(presented);
  EXPECT_TRUE(weakShown.expired());
  gma->forgetFinishedRequests();
  ASSERT_EQ(gma->requests().size(), 1u);
  EXPECT_EQ(gma->requests().front().id, pending);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
