#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"

namespace QVRAdKit::Sandbox {
namespace {

using Strings = std::vector<std::string>;
using Configuration = SimulatedGoogleMobileAds::Configuration;

std::string outcome(const GADFullScreenPresentingAd* ad, const std::optional<Platform::Error>& e) {
  if (e) return "error " + std::to_string(e->code);
  if (!ad) return "empty";
  auto info = ad->responseInfo().loadedAdNetworkResponseInfo;
  return "ad " + (info ? info->adNetworkClassName : std::string("-"));
}

// Records full-screen callbacks as "<event>@<whole seconds since it was made>".
class RecordingContentDelegate final : public GADFullScreenContentDelegate {
 public:
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd&) override { add("willPresent"); }
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd&) override { add("willDismiss"); }
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd&) override { add("didDismiss"); }
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd&,
                                                    const Platform::Error&) override {}
  void add(const std::string& event) {
    const auto seconds = Platform::Environment::current().clock().now().timeIntervalSince(start_);
    events.push_back(event + "@" + std::to_string(static_cast<int>(seconds)));
  }
  Strings events;

 private:
  Platform::Date start_ = Platform::Environment::current().clock().now();
};

TEST(GoogleMobileAdsSandboxTest, AnswersReachTheirRequestAndCallbacksTellWhetherADelegateLives) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  auto gma = GoogleMobileAdsSandbox::install(*environment);
  Strings outcomes;
  std::shared_ptr<GADRewardedAd> rewarded;
  GAMInterstitialAd::loadWithAdManagerAdUnitID(
      *environment, "i", GAMRequest{},
      [&](auto ad, auto e) { outcomes.push_back("i " + outcome(ad.get(), e)); });
  GADRewardedAd::loadWithAdUnitID(*environment, "r", GADRequest{}, [&](auto ad, auto e) {
    outcomes.push_back("r " + outcome((rewarded = ad).get(), e));
  });
  environment->advance(3600);
  EXPECT_TRUE(outcomes.empty());  // never answered by itself
  const auto requests = gma->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(gma->fill(requests[1].id, "NetA"));
  EXPECT_TRUE(gma->fail(requests[0].id, GADError::make(GADError::kNoFill, "none")));
  EXPECT_FALSE(gma->fill(99));
  EXPECT_EQ(outcomes, (Strings{"r ad NetA", "i error 1"}));

  const auto id = requests[1].id;
  auto delegate = std::make_shared<RecordingContentDelegate>();
  rewarded->setFullScreenContentDelegate(delegate);
  rewarded->presentFromRootViewController(nullptr, [] {});
  EXPECT_TRUE(gma->willPresent(id));
  EXPECT_TRUE(gma->dismiss(id));
  EXPECT_EQ(delegate->events, (Strings{"willPresent@0", "didDismiss@0"}));
  delegate.reset();  // held weakly by the ad
  EXPECT_FALSE(gma->willDismiss(id));
}

// Forgetting closes up the requests still pending or with a live ad, in arrival order, and the
// later requests reuse the forgotten entries (more of them than are kept as spares) with their own
// ids and ad units.
TEST(GoogleMobileAdsSandboxTest, ForgettingKeepsTheLiveRequestsInOrderAndLaterOnesFindTheirOwn) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  auto gma = GoogleMobileAdsSandbox::install(*environment);
  gma->setRetainsAds(false);
  const auto numbered = [](const char* prefix, std::uint64_t number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
  };
  std::vector<std::shared_ptr<GAMInterstitialAd>> ads(6);
  for (std::size_t i = 0; i < ads.size(); ++i) {
    GAMInterstitialAd::loadWithAdManagerAdUnitID(*environment, numbered("/unit/number-", i),
                                                 GAMRequest{},
                                                 [&ads, i](auto ad, auto) { ads[i] = ad; });
  }
  const auto noFill = GADError::make(GADError::kNoFill, "none");
  EXPECT_TRUE(gma->fail(0, noFill));
  EXPECT_TRUE(gma->fill(1));  // its ad stays alive
  EXPECT_TRUE(gma->fail(2, noFill));
  EXPECT_TRUE(gma->fill(4));
  ads[4].reset();  // gone: forgotten with the answered failures; 3 is still pending
  EXPECT_TRUE(gma->answerEmpty(5));
  gma->forgetFinishedRequests();

  const auto ids = [&gma] {
    std::vector<GoogleMobileAdsSandbox::RequestID> result;
    for (const auto& request : gma->requests()) result.push_back(request.id);
    return result;
  };
  EXPECT_EQ(ids(), (std::vector<GoogleMobileAdsSandbox::RequestID>{1, 3}));
  for (const GoogleMobileAdsSandbox::RequestID gone : {0, 2, 4, 5, 6}) {
    EXPECT_EQ(gma->findRequest(gone), nullptr) << gone;
    EXPECT_FALSE(gma->fill(gone)) << gone;
  }
  for (std::uint64_t i = 0; i < 10; ++i) {
    GADAppOpenAd::loadWithAdUnitID(*environment, numbered("u", i), GADRequest{}, [](auto, auto) {});
  }
  EXPECT_EQ(ids(), (std::vector<GoogleMobileAdsSandbox::RequestID>{1, 3, 6, 7, 8, 9, 10, 11, 12, 13,
                                                                   14, 15}));
  for (GoogleMobileAdsSandbox::RequestID id = 6; id <= 15; ++id) {
    const auto* request = gma->findRequest(id);
    ASSERT_NE(request, nullptr) << id;
    EXPECT_EQ(request->adUnitID, numbered("u", id - 6));
    EXPECT_EQ(request->kind, GoogleMobileAdsSandbox::AdKind::appOpen);
    EXPECT_EQ(request->state, GoogleMobileAdsSandbox::RequestState::pending);
  }
  EXPECT_EQ(gma->findRequest(1)->adUnitID, "/unit/number-1");
  EXPECT_TRUE(gma->fill(3));  // the pending one still reaches its completion
  EXPECT_NE(ads[3], nullptr);
}

// A unit's behaviour is its own entry, found by its whole key: a key that only shares a prefix,
// or differs in case, gets the defaults.
TEST(SimulatedGoogleMobileAdsTest, APreparedConfigurationFindsEachUnitByItsWholeKey) {
  Configuration configuration;
  configuration.defaults.fillRate = 0.1;
  configuration.adUnits["/sandbox/interstitial/connect-high"].fillRate = 0.2;
  configuration.adUnits["/sandbox/interstitial/connect-low"].fillRate = 0.3;
  configuration.adUnits[""].fillRate = 0.4;
  const SimulatedGoogleMobileAds::PreparedConfiguration prepared(configuration);
  const struct {
    const char* key;
    double fillRate;
  } cases[] = {
      {"/sandbox/interstitial/connect-high", 0.2},
      {"/sandbox/interstitial/connect-low", 0.3},
      {"", 0.4},
      {"/sandbox/interstitial/connect", 0.1},
      {"/sandbox/interstitial/connect-high2", 0.1},
      {"/SANDBOX/interstitial/connect-low", 0.1},
  };
  for (const auto& [key, fillRate] : cases) {
    EXPECT_EQ(prepared.behavior(key).fillRate, fillRate) << key;
  }
  EXPECT_EQ(&prepared.behavior("/sandbox/interstitial/connect-low"),
            &prepared.configuration().adUnits.at("/sandbox/interstitial/connect-low"));
}

// Requests `count` interstitials at once from a fresh simulation and runs the clock `runFor`
// seconds; per request, in request order, "<seconds until the answer> <outcome>" or "unanswered".
Strings simulate(const Configuration& configuration, int count, double runFor) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  SimulatedGoogleMobileAds::install(*environment, configuration);
  const Platform::Date start = environment->clock().now();
  Strings answers(static_cast<size_t>(count), "unanswered");
  for (auto& answer : answers) {
    GAMInterstitialAd::loadWithAdManagerAdUnitID(
        *environment, "/1/connect", GAMRequest{}, [&](auto ad, auto e) {
          answer = std::to_string(environment->clock().now().timeIntervalSince(start)) + " " +
                   outcome(ad.get(), e);
        });
  }
  environment->advance(runFor);
  return answers;
}

TEST(SimulatedGoogleMobileAdsTest, TheSeedDecidesTheOutcomesWhichArriveWithinTheLatency) {
  using ::testing::Each;
  Configuration configuration;
  configuration.seed = 7;
  auto& unit = configuration.adUnits["/1/connect"] = {
      .fillRate = 0.5, .latency = {.minimum = 2.0, .maximum = 3.0}, .errorCodes = {1, 2}};
  const Strings first = simulate(configuration, 40, 3.0);  // all answered by the maximum
  EXPECT_EQ(simulate(configuration, 40, 3.0), first);
  EXPECT_THAT(first, Each(::testing::Not("unanswered")));
  EXPECT_THAT(simulate(configuration, 40, 1.99), Each("unanswered"));  // none before the minimum
  configuration.seed = 8;
  EXPECT_NE(simulate(configuration, 40, 3.0), first);
  unit.fillRate = 0;
  EXPECT_THAT(simulate(configuration, 40, 3.0), Each(::testing::HasSubstr(" error ")));
}

TEST(SimulatedGoogleMobileAdsTest, APresentedAdEarnsItsRewardAndClosesItselfAfterItsTimeOnScreen) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  Configuration configuration;
  configuration.defaults = {
      .fillRate = 1, .latency = {.minimum = 1, .maximum = 1}, .onScreenDuration = 30};
  SimulatedGoogleMobileAds::install(*environment, configuration);
  std::shared_ptr<GADRewardedAd> rewarded;
  GADRewardedAd::loadWithAdUnitID(*environment, "/1/timewall", GADRequest{},
                                  [&](auto ad, auto) { rewarded = ad; });
  environment->advance(1);
  ASSERT_NE(rewarded, nullptr);

  auto delegate = std::make_shared<RecordingContentDelegate>();  // times from now
  rewarded->setFullScreenContentDelegate(delegate);
  rewarded->presentFromRootViewController(nullptr, [&] { delegate->add("reward"); });
  EXPECT_TRUE(delegate->events.empty());  // not inside the present call
  environment->advance(29);
  EXPECT_EQ(delegate->events, Strings{"willPresent@0"});
  environment->advance(1);
  EXPECT_EQ(delegate->events,
            (Strings{"willPresent@0", "reward@30", "willDismiss@30", "didDismiss@30"}));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
