#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"

namespace QVRAdKit::Sandbox {
namespace {

using Strings = std::vector<std::string>;
using Configuration = SimulatedGoogleMobileAds::Configuration;
using Distribution = SimulatedGoogleMobileAds::Latency::Distribution;

struct Answer {
  double after = 0;  // seconds from the request
  std::optional<std::string> network;
  std::optional<std::int64_t> errorCode;
  bool hasAd = false;
};

// Installs a simulation in a fresh environment, requests `count` interstitials at once and runs
// the clock `runFor` seconds; answers in request order (absent: not answered).
std::vector<std::optional<Answer>> simulate(const Configuration& configuration, int count,
                                            double runFor = 60) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  SimulatedGoogleMobileAds::install(*environment, configuration);
  const Platform::Date start = environment->clock().now();
  std::vector<std::optional<Answer>> answers(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    GAMInterstitialAd::loadWithAdManagerAdUnitID(
        "/1/connect", GAMRequest{},
        [&answers, &environment, start, i](std::shared_ptr<GAMInterstitialAd> ad,
                                           std::optional<Platform::Error> error) {
          Answer answer;
          answer.after = environment->clock().now().timeIntervalSince(start);
          answer.hasAd = ad != nullptr;
          if (ad) {
            auto info = ad->responseInfo().loadedAdNetworkResponseInfo;
            if (info) answer.network = info->adNetworkClassName;
          }
          if (error) answer.errorCode = error->code;
          answers[static_cast<size_t>(i)] = answer;
        });
  }
  environment->advance(runFor);
  return answers;
}

std::string describe(const std::optional<Answer>& answer) {
  if (!answer) return "unanswered";
  return std::to_string(answer->after) + " " + answer->network.value_or("-") + " " +
         (answer->errorCode ? std::to_string(*answer->errorCode) : "-");
}

Strings describeAll(const std::vector<std::optional<Answer>>& answers) {
  Strings result;
  for (const auto& answer : answers) result.push_back(describe(answer));
  return result;
}

Configuration mixedConfiguration(std::uint64_t seed) {
  Configuration configuration;
  configuration.seed = seed;
  auto& unit = configuration.adUnits["/1/connect"];
  unit.fillRate = 0.5;
  unit.latency = {Distribution::uniform, 1.0, 5.0, 0, 0};
  unit.networkClassNames = {"NetA", "NetB", "NetC"};
  unit.errorCodes = {1, 2};
  return configuration;
}

TEST(SimulatedGoogleMobileAdsTest, TheSeedDeterminesTheOutcomes) {
  const Strings first = describeAll(simulate(mixedConfiguration(7), 40));
  EXPECT_EQ(describeAll(simulate(mixedConfiguration(7), 40)), first);
  EXPECT_NE(describeAll(simulate(mixedConfiguration(8), 40)), first);

  // The draws span the configured choices.
  int filled = 0;
  int failed = 0;
  for (const auto& answer : simulate(mixedConfiguration(7), 40)) {
    ASSERT_TRUE(answer.has_value());
    if (answer->hasAd) {
      ++filled;
      EXPECT_TRUE(answer->network == "NetA" || answer->network == "NetB" ||
                  answer->network == "NetC");
    } else {
      ++failed;
      EXPECT_TRUE(answer->errorCode == 1 || answer->errorCode == 2);
    }
  }
  EXPECT_GT(filled, 0);
  EXPECT_GT(failed, 0);
}

TEST(SimulatedGoogleMobileAdsTest, FillRateZeroAlwaysFailsAndOneAlwaysFills) {
  Configuration configuration;
  configuration.defaults.fillRate = 0;
  configuration.defaults.errorCodes = {3};
  for (const auto& answer : simulate(configuration, 50)) {
    ASSERT_TRUE(answer.has_value());
    EXPECT_FALSE(answer->hasAd);
    EXPECT_EQ(answer->errorCode, 3);
  }
  configuration.defaults.fillRate = 1;
  configuration.defaults.networkClassNames.clear();  // the SDK does not know the network
  for (const auto& answer : simulate(configuration, 50)) {
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->hasAd);
    EXPECT_EQ(answer->network, std::nullopt);
    EXPECT_EQ(answer->errorCode, std::nullopt);
  }
}

TEST(SimulatedGoogleMobileAdsTest, AnswersArriveWithinTheLatencyOnTheClock) {
  Configuration configuration;
  configuration.defaults.latency = {Distribution::uniform, 2.0, 3.0, 0, 0};
  // Nothing before the minimum latency.
  for (const auto& answer : simulate(configuration, 30, 1.99)) EXPECT_FALSE(answer.has_value());
  for (const auto& answer : simulate(configuration, 30, 3.0)) {
    ASSERT_TRUE(answer.has_value());
    EXPECT_GE(answer->after, 2.0 - 1e-6);
    EXPECT_LE(answer->after, 3.0 + 1e-6);
  }
  // A wide log-normal draw is clamped to the bounds.
  configuration.defaults.latency = {Distribution::logNormal, 0.5, 2.0, 1.0, 3.0};
  bool sawLowBound = false;
  bool sawHighBound = false;
  for (const auto& answer : simulate(configuration, 60, 2.0)) {
    ASSERT_TRUE(answer.has_value());
    EXPECT_GE(answer->after, 0.5 - 1e-6);
    EXPECT_LE(answer->after, 2.0 + 1e-6);
    sawLowBound |= answer->after < 0.5 + 1e-6;
    sawHighBound |= answer->after > 2.0 - 1e-6;
  }
  EXPECT_TRUE(sawLowBound);
  EXPECT_TRUE(sawHighBound);
}

class RecordingContentDelegate final : public GADFullScreenContentDelegate {
 public:
  explicit RecordingContentDelegate(Platform::Environment& environment)
      : environment_(environment), start_(environment.clock().now()) {}
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd&) override { add("willPresent"); }
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd&) override { add("willDismiss"); }
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd&) override { add("didDismiss"); }
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd&,
                                                    const Platform::Error& error) override {
    add("didFail " + std::to_string(error.code));
  }
  void add(const std::string& event) {
    const auto seconds = environment_.clock().now().timeIntervalSince(start_);
    events.push_back(event + "@" + std::to_string(static_cast<int>(seconds)));
  }
  Strings events;

 private:
  Platform::Environment& environment_;
  Platform::Date start_;
};

TEST(SimulatedGoogleMobileAdsTest, APresentedAdClosesItselfAfterItsTimeOnScreen) {
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);
  Configuration configuration;
  configuration.startDelay = 4;
  configuration.defaults.fillRate = 1;
  configuration.defaults.latency = {Distribution::uniform, 1.0, 1.0, 0, 0};
  configuration.defaults.onScreenDuration = 30;
  auto simulation = SimulatedGoogleMobileAds::install(*environment, configuration);
  auto delegate = std::make_shared<RecordingContentDelegate>(*environment);  // times from now

  bool started = false;
  GADMobileAds::sharedInstance()->startWithCompletionHandler([&](const auto& status) {
    started = true;
    EXPECT_EQ(
        status.adapterStatesByClassName.count(GoogleMobileAdsSandbox::kDefaultNetworkClassName),
        1u);
  });
  std::shared_ptr<GADRewardedAd> rewarded;
  GADRewardedAd::loadWithAdUnitID("/1/timewall", GADRequest{},
                                  [&](auto ad, auto) { rewarded = ad; });
  environment->advance(1);
  ASSERT_NE(rewarded, nullptr);
  EXPECT_FALSE(started);

  rewarded->setFullScreenContentDelegate(delegate);
  rewarded->presentFromRootViewController(std::make_shared<Platform::ViewController>(),
                                          [&] { delegate->add("reward"); });
  EXPECT_TRUE(delegate->events.empty());  // not inside the present call
  environment->advance(29);
  EXPECT_EQ(delegate->events, Strings{"willPresent@1"});
  EXPECT_TRUE(started);
  environment->advance(1);
  EXPECT_EQ(delegate->events,
            (Strings{"willPresent@1", "reward@31", "willDismiss@31", "didDismiss@31"}));

  // The same ad again: already used.
  rewarded->presentFromRootViewController(std::make_shared<Platform::ViewController>(), [] {});
  environment->advance(60);
  EXPECT_EQ(delegate->events.back(), "didFail 19@31");
  EXPECT_EQ(simulation->sandbox(), environment->service<GoogleMobileAdsLoader>());
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
