#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
