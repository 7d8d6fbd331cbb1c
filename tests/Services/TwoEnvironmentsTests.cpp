// Two environments in one process run two ads services that share nothing: each service takes its
// clock, queues, notifications, user defaults and ad-network SDKs from the environment it was
// created in, and none of it from an installed one. No environment is installed here at all, so a
// lookup of Platform::Environment::current() anywhere on these paths would stop the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;

// One host: an environment of its own, installed nowhere, with scripted networks and consent
// platform, its host services and its ads service (made last, so it goes first).
struct Host : testing_support::ConsentedAdsHarness {
  explicit Host(bool personalisedAdsAllowed) : ConsentedAdsHarness(/*installed=*/false) {
    if (personalisedAdsAllowed) {
      env->userDefaults().setObject(std::string("1111111111"), "IABTCF_PurposeConsents");
      env->userDefaults().setObject(std::string("1111111111"), "IABTCF_PurposeLegitimateInterests");
    }
    service = makeService(consentService);
  }

  // Starts a run with config and drains this host's main queue until the run has ended and every
  // unit of units has been requested from its Google Mobile Ads.
  void run(const AdsConfig& config, const Strings& units) {
    service->checkConsentAndLoadAds(true);
    configProvider->publish(config);
    EXPECT_TRUE(env->runUntil([&] {
      return !service->snapshot().runInProgress &&
             std::ranges::all_of(units, [&](const auto& unit) { return requested(unit); });
    }));
  }
  [[nodiscard]] std::vector<bool> unityConsentWrites() const {
    std::vector<bool> writes;
    for (const auto& entries : unity->commits()) {
      if (auto found = entries.find("gdpr.consent"); found != entries.end()) {
        writes.push_back(std::get<bool>(found->second));
      }
    }
    return writes;
  }

  std::shared_ptr<AdsService> service;
};

// Host a shows AdMob interstitials at connect; host b also uses IronSource, for disconnect.
AdsConfig adMobOnly() {
  return AdsConfig(
      {{AdSource::adMob, std::nullopt}},
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"a-connect"}, AdSource::adMob, 600)}},
      {}, {});
}
AdsConfig withIronSource() {
  return AdsConfig({{AdSource::adMob, std::nullopt}, {AdSource::ironSource, "is-key"}},
                   {{InterstitialAdPlacement::connect,
                     AdPlacementConfig({"b-connect-1", "b-connect-2"}, AdSource::adMob, 600)},
                    {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({"dis"})}},
                   {}, {});
}

TEST(TwoEnvironmentsTest, EachServiceRunsOnItsOwnNetworksClockQueueAndStores) {
  ASSERT_EQ(Platform::Environment::installed(), nullptr);
  Host a(/*personalisedAdsAllowed=*/true);
  Host b(/*personalisedAdsAllowed=*/false);

  a.run(adMobOnly(), {"a-connect"});
  EXPECT_EQ(a.requestedUnits(), Strings{"a-connect"});
  EXPECT_TRUE(b.requestedUnits().empty()) << "b has not started a run";
  EXPECT_EQ(b.gma->startCallCount(), 0U);
  EXPECT_EQ(b.env->mainQueue().pendingCount(), 0U) << "a posted nothing to b's queue";

  b.run(withIronSource(), {"b-connect-1", "b-connect-2"});
  EXPECT_EQ(a.requestedUnits(), Strings{"a-connect"}) << "b's run loaded nothing through a";
  EXPECT_EQ(a.gma->startCallCount(), 1U);
  EXPECT_EQ(b.gma->startCallCount(), 1U);
  EXPECT_TRUE(a.ironSource->initCalls().empty());
  EXPECT_EQ(b.ironSource->initCalls().size(), 1U);
  EXPECT_NE(IronSourceHelper::sharedInstance(*a.env), IronSourceHelper::sharedInstance(*b.env));
  // Each consent service told its own mediators what its own user defaults say.
  EXPECT_EQ(a.unityConsentWrites(), std::vector<bool>{true});
  EXPECT_EQ(b.unityConsentWrites(), std::vector<bool>{false});

  // a's load takes 2.5 s on a's clock; b's clock stands still.
  const Platform::Date bStart = b.env->clock().now();
  a.reporting->clear();
  b.reporting->clear();
  a.env->manualClock()->advance(2.5);
  ASSERT_TRUE(a.gma->fill(a.lastRequest("a-connect")));
  a.env->mainQueue().runUntilIdle();
  EXPECT_EQ(b.env->clock().now(), bStart);
  ASSERT_EQ(a.reporting->names(), (Strings{"ad_loaded"}));
  EXPECT_EQ(std::get<std::int64_t>(*a.reporting->events()[0].parameter("duration")), 2500);
  EXPECT_TRUE(b.reporting->names().empty());

  // Only a has an ad to hand out; b's connect grant does not touch a's interval.
  a.connection->setStatus(QVVPNManagerStatus::disconnected);  // about to connect
  b.connection->setStatus(QVVPNManagerStatus::disconnected);
  EXPECT_EQ(a.service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_NE(a.service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
  EXPECT_EQ(b.service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
  EXPECT_EQ(b.service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(a.service->interstitialTypeToPresent(), InterstitialType::none) << "600 s interval";

  // A pause lands in a's storage alone and holds back a's ads alone.
  a.service->pauseAds(3600);
  EXPECT_EQ(a.storage->pausedTill(), a.env->clock().now().addingTimeInterval(3600));
  EXPECT_FALSE(b.storage->pausedTill().has_value());
  const auto connect = AdsPlacement::interstitial(InterstitialAdPlacement::connect);
  EXPECT_FALSE(a.service->shouldShowAd(connect));
  EXPECT_TRUE(b.service->shouldShowAd(connect));
  EXPECT_EQ(Platform::Environment::installed(), nullptr);
}

TEST(TwoEnvironmentsTest, DroppingBothHostsLeavesNothingAlive) {
  std::vector<std::weak_ptr<void>> watched;
  {
    auto a = std::make_unique<Host>(true);
    auto b = std::make_unique<Host>(false);
    a->run(adMobOnly(), {"a-connect"});
    b->run(withIronSource(), {"b-connect-1", "b-connect-2"});
    ASSERT_TRUE(a->gma->fill(a->lastRequest("a-connect")));
    a->env->mainQueue().runUntilIdle();
    a->connection->setStatus(QVVPNManagerStatus::disconnected);
    auto ad = a->service->interstitialAd(InterstitialAdPlacement::connect);
    ASSERT_NE(ad, nullptr);
    for (Host* host : {a.get(), b.get()}) {
      watched.emplace_back(host->service);
      watched.emplace_back(host->consentService);
      watched.emplace_back(host->gma);
      watched.emplace_back(host->ironSource);
      watched.emplace_back(host->consent);
      watched.emplace_back(IronSourceHelper::sharedInstance(*host->env));
      watched.emplace_back(host->env->notificationCenterPtr());
    }
    watched.emplace_back(ad);
    // The host lets go of the ad, then of everything else, b before a.
    ad.reset();
    b.reset();
    a.reset();
  }
  for (std::size_t i = 0; i < watched.size(); ++i) EXPECT_TRUE(watched[i].expired()) << i;
}

}  // namespace
}  // namespace QVRAdKit
