// The ads service's decisions: whether an ad may be shown, which interstitial to present, the
// application-start placement, the app-open timeout and the persisted ads pause.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using namespace testing_support;
using Platform::Date;

constexpr std::string_view kFileText = "QVRAdKit/Services/AdsService/AdsService";

const std::vector<AdsPlacement> kAllPlacements = {
    AdsPlacement::interstitial(InterstitialAdPlacement::connect),
    AdsPlacement::interstitial(InterstitialAdPlacement::disconnect),
    AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch),
    AdsPlacement::rewarded(RewardedAdPlacement::timewall),
    AdsPlacement::appOpen(AppOpenAdPlacement::main),
    AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch),
};

const AdsPlacement kConnect = AdsPlacement::interstitial(InterstitialAdPlacement::connect);
const AdsPlacement kDisconnect = AdsPlacement::interstitial(InterstitialAdPlacement::disconnect);

// Every placement configured on AdMob with one key; interstitials with the given interval.
AdsConfig fullConfig(double interstitialTimeout = 600) {
  auto interstitial = [&](std::string key) {
    return AdPlacementConfig({std::move(key)}, AdSource::adMob, interstitialTimeout);
  };
  return AdsConfig({{AdSource::adMob, std::nullopt}},
                   {{InterstitialAdPlacement::connect, interstitial("connect-1")},
                    {InterstitialAdPlacement::disconnect, interstitial("disconnect-1")},
                    {InterstitialAdPlacement::appLaunch, interstitial("launch-1")}},
                   {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"timewall-1"})}},
                   {{AppOpenAdPlacement::main, AdPlacementConfig({"main-1"}, AdSource::adMob, 4.5)},
                    {AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"open-launch-1"})}});
}

AdsConfig interstitialsOnly(AdsConfig::InterstitialPlacements placements) {
  return AdsConfig({}, std::move(placements), {}, {});
}

class AdsServiceDecisionTest : public ::testing::Test {
 protected:
  std::shared_ptr<AdsService> configuredService(AdsConfig config = fullConfig()) {
    auto service = h.makeService();
    AdsServiceTestAccess::setConfig(*service, std::move(config));
    return service;
  }

  void storePauseUntil(Date date) {
    h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey), date);
  }

  std::vector<bool> shownEverywhere(const AdsService& service) const {
    std::vector<bool> shown;
    for (const auto& placement : kAllPlacements) shown.push_back(service.shouldShowAd(placement));
    return shown;
  }

  AdsServiceHarness h;
  const std::vector<bool> allTrue = std::vector<bool>(kAllPlacements.size(), true);
  const std::vector<bool> allFalse = std::vector<bool>(kAllPlacements.size(), false);
};

TEST_F(AdsServiceDecisionTest, ConstructionTouchesNothingAndAnUnconfiguredServiceShowsNothing) {
  h.connection->status = QVVPNManagerStatus::disconnected;
  auto service = h.makeService();
  EXPECT_EQ(h.user->premiumReads, 0);
  EXPECT_EQ(h.connection->statusReads, 0);
  EXPECT_EQ(h.storage->reads, 0);
  EXPECT_TRUE(h.rateUs->calls.empty());

  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->appOpenAdTimeout(), 0);
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_FALSE(service->shouldShowAppLaunchAd());
  EXPECT_FALSE(service->shouldShowDisconnectAd());
  EXPECT_TRUE(h.rateUs->calls.empty());
  EXPECT_TRUE(h.logger->entries().empty());

  // A configured service with every check passing shows everywhere: the baseline of the tests
  // below.
  AdsServiceTestAccess::setConfig(*service, fullConfig());
  EXPECT_EQ(shownEverywhere(*service), allTrue);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, PremiumComesBeforeEveryOtherCheckAndLogsNothing) {
  auto service = configuredService();
  h.user->premium = true;
  h.freeUse->active = true;
  storePauseUntil(h.now().addingTimeInterval(3600));
  int switchCalls = 0;
  h.pauseProvider->config = AdsPauseConfig({{kConnect, [&] {
                                               ++switchCalls;
                                               return true;
                                             }}});
  auto capping = std::make_shared<FakeCappingChecker>();
  capping->capped = true;
  AdsServiceTestAccess::setIronSource(*service, capping);
  h.connection->status = QVVPNManagerStatus::disconnected;

  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_FALSE(service->shouldShowAppLaunchAd());
  EXPECT_FALSE(service->shouldShowDisconnectAd());
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(switchCalls, 0);
  EXPECT_EQ(h.freeUse->reads, 0);
  EXPECT_EQ(h.storage->reads, 0);
  EXPECT_EQ(h.connection->statusReads, 0);
  EXPECT_TRUE(capping->asked.empty());
  EXPECT_TRUE(h.rateUs->calls.empty());
  EXPECT_TRUE(h.logger->entries().empty());

  // The withheld interstitial recorded no grant: once premium ends it is granted at once.
  h.user->premium = false;
  capping->capped = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, FreeUseWithholdsEveryAdBeforeTheOtherChecks) {
  auto service = configuredService();
  h.pauseProvider->config = AdsPauseConfig({{kConnect, [] { return true; }}});
  h.freeUse->active = true;
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_EQ(h.storage->reads, 0);
  EXPECT_TRUE(h.logger->entries().empty()) << "the pause switch must not be reached";

  // Free use does not concern interstitialTypeToPresent.
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.freeUse->active = false;
  EXPECT_TRUE(service->shouldShowAd(kDisconnect));

  // Without a free-use service there is no free-use rule.
  h.freeUse = nullptr;
  auto withoutFreeUse = configuredService();
  EXPECT_TRUE(withoutFreeUse->shouldShowAd(kDisconnect));
}

TEST_F(AdsServiceDecisionTest, AnUnconfiguredPlacementShowsNothingAndIsNotCheckedFurther) {
  auto service = configuredService(
      interstitialsOnly({{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})}}));
  h.pauseProvider->config = AdsPauseConfig({{kDisconnect, [] { return true; }}});
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  EXPECT_FALSE(service->shouldShowAd(kDisconnect));
  EXPECT_FALSE(service->shouldShowAd(AdsPlacement::rewarded(RewardedAdPlacement::timewall)));
  EXPECT_FALSE(service->shouldShowAd(AdsPlacement::appOpen(AppOpenAdPlacement::main)));
  EXPECT_TRUE(h.logger->entries().empty()) << "unconfigured placements stop before the switch";
  EXPECT_EQ(h.storage->reads, 1) << "only the configured placement reads the pause date";

  // A configuration with no interstitial placements at all grants no interstitial.
  h.connection->status = QVVPNManagerStatus::disconnected;
  AdsServiceTestAccess::setConfig(*service, AdsConfig({}, {}, {}, {}));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(h.connection->statusReads, 0);
}

TEST_F(AdsServiceDecisionTest, TheStoredPauseHoldsWhileNowIsStrictlyEarlierThanItsDate) {
  auto service = configuredService();
  const Date end = h.now().addingTimeInterval(100);
  storePauseUntil(end);
  EXPECT_EQ(shownEverywhere(*service), allFalse);

  h.clock().set(end.addingTimeInterval(-0.001));
  EXPECT_EQ(shownEverywhere(*service), allFalse);

  h.clock().set(end);
  EXPECT_EQ(shownEverywhere(*service), allTrue);

  // A passed date stays stored and is ignored; setting the clock back makes it hold again.
  h.clock().advance(1000);
  EXPECT_EQ(shownEverywhere(*service), allTrue);
  EXPECT_EQ(h.storage->pausedTill(), end);
  h.clock().set(end.addingTimeInterval(-1));
  EXPECT_EQ(shownEverywhere(*service), allFalse);

  // The pause date concerns shouldShowAd only.
  h.connection->status = QVVPNManagerStatus::connected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_TRUE(h.logger->entries().empty());
}

TEST_F(AdsServiceDecisionTest, PauseSwitchHoldsBackOnlyItsPlacementAndIsAskedAfresh) {
  auto service = configuredService();
  bool paused = true;
  int calls = 0;
  h.pauseProvider->config = AdsPauseConfig({{kConnect, [&] {
                                               ++calls;
                                               return paused;
                                             }}});

  EXPECT_FALSE(service->shouldShowAd(kConnect));
  const auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flag, LogFlag::warning);
  EXPECT_EQ(position(*entries[0].flag), 1);
  EXPECT_EQ(entries[0].message,
            "ADs would be paused for placement: "
            "interstitial(QVRAdKit.InterstitialAdPlacement.connect)");
  EXPECT_EQ(entries[0].file, kFileText);
  EXPECT_EQ(entries[0].function, "shouldShowAd(for:)");

  h.logger->clear();
  EXPECT_TRUE(service->shouldShowAd(kDisconnect));
  EXPECT_TRUE(service->shouldShowDisconnectAd());
  EXPECT_TRUE(service->shouldShowAd(AdsPlacement::appOpen(AppOpenAdPlacement::main)));
  EXPECT_TRUE(h.logger->entries().empty());
  EXPECT_EQ(calls, 1);

  paused = false;
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  EXPECT_EQ(calls, 2);

  // The provider is read at every check: no configuration means no switch.
  paused = true;
  h.pauseProvider->config.reset();
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  EXPECT_EQ(calls, 2);

  // A stored pause decides before the switch, so the switch is not asked and nothing is logged.
  h.pauseProvider->config = AdsPauseConfig({{kConnect, [&] {
                                               ++calls;
                                               return true;
                                             }}});
  storePauseUntil(h.now().addingTimeInterval(10));
  EXPECT_FALSE(service->shouldShowAd(kConnect));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(h.logger->entries().empty());

  // The switch does not concern interstitialTypeToPresent.
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, AConfiguredPlacementWithoutKeysShowsNothing) {
  AdsConfig config({},
                   {{InterstitialAdPlacement::connect, AdPlacementConfig({}, AdSource::adMob, 600)},
                    {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({})}},
                   {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}},
                   {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({})}});
  auto service = configuredService(config);
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_EQ(h.storage->reads, 4) << "the four configured placements reach the pause date";
  EXPECT_FALSE(service->shouldShowDisconnectAd());
  EXPECT_FALSE(service->shouldShowAppLaunchAd());

  // The key list does not concern interstitialTypeToPresent.
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, OnlyStatusOneAndThreeCallForAnInterstitial) {
  auto service = configuredService();
  for (auto status : {QVVPNManagerStatus::invalid, QVVPNManagerStatus::connecting,
                      QVVPNManagerStatus::reasserting, QVVPNManagerStatus::disconnecting}) {
    h.connection->status = status;
    EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << rawValue(status);
  }
  h.connection->status = static_cast<QVVPNManagerStatus>(-1);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_TRUE(h.rateUs->calls.empty());

  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(h.rateUs->calls, (std::vector<std::string>{"check(connect)", "block(connect)"}));

  h.rateUs->calls.clear();
  h.connection->status = QVVPNManagerStatus::connected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_EQ(h.rateUs->calls, (std::vector<std::string>{"check(disconnect)", "block(disconnect)"}));
}

TEST_F(AdsServiceDecisionTest, EachInterstitialPlacementWaitsItsIntervalFromItsOwnLastGrant) {
  auto service = configuredService(interstitialsOnly(
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 30)}}));
  const Date firstGrant = h.now();
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.clock().set(firstGrant.addingTimeInterval(599.999));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  // The disconnect placement has its own date: granted at once, then its own 30 seconds.
  h.connection->status = QVVPNManagerStatus::connected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  h.clock().advance(29);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  // Refusals inside the interval record nothing: the interval still runs from the first grant.
  h.connection->status = QVVPNManagerStatus::disconnected;
  h.clock().set(firstGrant.addingTimeInterval(600));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  h.clock().advance(1);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  // A clock set back before the last grant counts as inside the interval.
  h.clock().set(firstGrant);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
}

TEST_F(AdsServiceDecisionTest, AnIntervalNeedsARecordedGrantAndAPlacementConfiguration) {
  // Status 1 with only the disconnect placement configured: the connect candidate has no
  // configuration, so no interval applies and every call grants it.
  auto service = configuredService(interstitialsOnly(
      {{InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 600)}}));
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  // A zero interval grants every time.
  auto zero = configuredService(fullConfig(/*interstitialTimeout=*/0));
  EXPECT_EQ(zero->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(zero->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, NetworkCappingIsAskedOnlyForAnIronSourceCandidateOnceStarted) {
  auto service = configuredService(interstitialsOnly(
      {{InterstitialAdPlacement::connect,
        AdPlacementConfig({"is-a", "is-b"}, AdSource::ironSource, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 600)}}));
  auto capping = std::make_shared<FakeCappingChecker>();
  capping->capped = true;

  // Before the bridge is started the check is skipped.
  h.connection->status = QVVPNManagerStatus::disconnected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.clock().advance(600);
  h.rateUs->calls.clear();
  AdsServiceTestAccess::setIronSource(*service, capping);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked, (std::vector<std::vector<std::string>>{{"is-a", "is-b"}}));
  EXPECT_TRUE(h.rateUs->calls.empty()) << "capping decides before the rate-us checks";

  // A capped refusal recorded no grant.
  capping->capped = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  // Capping is asked before the interval.
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked.size(), 3u);

  // An AdMob candidate never asks the bridge.
  capping->capped = true;
  h.connection->status = QVVPNManagerStatus::connected;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_EQ(capping->asked.size(), 3u);

  // Capping concerns interstitialTypeToPresent only.
  EXPECT_TRUE(service->shouldShowAd(kConnect));
}

TEST_F(AdsServiceDecisionTest, RateUsCheckThenFlagThenBlockWithholdTheInterstitial) {
  auto service = configuredService(fullConfig(/*interstitialTimeout=*/0));
  h.connection->status = QVVPNManagerStatus::connected;
  auto& calls = h.rateUs->calls;

  // Not a rate-us moment: the flag is not read, even when it would withhold.
  h.rateUs->check = false;
  h.rateUs->flag = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_EQ(calls, (std::vector<std::string>{"check(disconnect)", "block(disconnect)"}));

  // A rate-us moment with the prompt flag down withholds it; the block is not asked.
  calls.clear();
  h.rateUs->check = true;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(calls, (std::vector<std::string>{"check(disconnect)", "flag"}));

  calls.clear();
  h.rateUs->flag = true;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_EQ(calls, (std::vector<std::string>{"check(disconnect)", "flag", "block(disconnect)"}));

  calls.clear();
  h.rateUs->check = false;
  h.rateUs->block = true;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(calls, (std::vector<std::string>{"check(disconnect)", "block(disconnect)"}));
}

TEST_F(AdsServiceDecisionTest, ARateUsRefusalRecordsNoGrant) {
  auto service = configuredService(fullConfig(/*interstitialTimeout=*/600));
  h.connection->status = QVVPNManagerStatus::disconnected;
  h.rateUs->block = true;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  h.rateUs->block = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
}

TEST_F(AdsServiceDecisionTest, AppLaunchPlacementPrefersTheInterstitial) {
  auto service = configuredService();
  EXPECT_EQ(service->appLaunchPlacement(),
            AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch));

  AdsServiceTestAccess::setConfig(
      *service, AdsConfig({}, {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})}},
                          {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({})}}));
  EXPECT_EQ(service->appLaunchPlacement(), AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch));
  EXPECT_FALSE(service->shouldShowAppLaunchAd()) << "the app-open placement has no keys";

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({}, {}, {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"o"})}}));
  EXPECT_TRUE(service->shouldShowAppLaunchAd());
  h.pauseProvider->config = AdsPauseConfig(
      {{AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch), [] { return true; }}});
  EXPECT_TRUE(service->shouldShowAppLaunchAd()) << "a switch for the other format's key";

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({}, {}, {}, {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"m"})}}));
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_FALSE(service->shouldShowAppLaunchAd());
}

TEST_F(AdsServiceDecisionTest, AppOpenAdTimeoutIsTheMainPlacementsTimeout) {
  auto service = configuredService();
  EXPECT_EQ(service->appOpenAdTimeout(), 4.5);
  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig(
          {}, {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 9)}},
          {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig({"o"}, AdSource::adMob, 7)}}));
  EXPECT_EQ(service->appOpenAdTimeout(), 0);
}

TEST_F(AdsServiceDecisionTest, PauseAdsWritesTheEndOfThePauseForEveryPlacement) {
  auto service = configuredService();
  const Date start = h.now();
  service->pauseAds(3600);
  EXPECT_EQ(h.storage->pausedTill(), start.addingTimeInterval(3600));
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  h.clock().advance(3599.999);
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  h.clock().advance(0.001);
  EXPECT_EQ(shownEverywhere(*service), allTrue);

  // A zero interval replaces a running pause and lifts it at once.
  service->pauseAds(3600);
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  service->pauseAds(0);
  EXPECT_EQ(h.storage->pausedTill(), h.now());
  EXPECT_EQ(shownEverywhere(*service), allTrue);

  // So does a negative one, which stores a date in the past.
  service->pauseAds(3600);
  service->pauseAds(-10);
  EXPECT_EQ(h.storage->pausedTill(), h.now().addingTimeInterval(-10));
  EXPECT_EQ(shownEverywhere(*service), allTrue);
  EXPECT_TRUE(h.logger->entries().empty());
}

TEST_F(AdsServiceDecisionTest, PauseAdsWithoutAFiniteIntervalStoresOnlyRealDates) {
  auto service = configuredService();
  service->pauseAds(600);
  const auto before = h.storage->pausedTill();

  service->pauseAds(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(h.storage->pausedTill(), before) << "NaN changes nothing";
  const auto failures = h.logger->assertionFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].file, kFileText);
  EXPECT_EQ(failures[0].function, "pauseAds(for:)");
  EXPECT_EQ(h.logger->entries().size(), 1u);

  service->pauseAds(std::numeric_limits<double>::infinity());
  EXPECT_EQ(h.storage->pausedTill(), Date::distantFuture());
  h.clock().advance(100.0 * 365 * 24 * 3600);
  EXPECT_EQ(shownEverywhere(*service), allFalse);

  service->pauseAds(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(h.storage->pausedTill(), Date::distantPast());
  EXPECT_EQ(shownEverywhere(*service), allTrue);

  // Finite intervals beyond the farthest dates are held to them.
  service->pauseAds(1e300);
  EXPECT_EQ(h.storage->pausedTill(), Date::distantFuture());
  service->pauseAds(-1e300);
  EXPECT_EQ(h.storage->pausedTill(), Date::distantPast());
  EXPECT_EQ(h.logger->entries().size(), 1u);
}

TEST_F(AdsServiceDecisionTest, StorageTroubleIsLoggedAndNeverThrows) {
  auto service = configuredService();
  service->pauseAds(60);
  const auto before = h.storage->pausedTill();

  h.storage->failWrites = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  EXPECT_EQ(h.storage->pausedTill(), before);
  auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flag, LogFlag::error);
  EXPECT_EQ(entries[0].message, "ADs pause could not be saved: disk full");
  EXPECT_EQ(entries[0].file, kFileText);
  EXPECT_EQ(entries[0].function, "pauseAds(for:)");

  h.storage->throwOnWrite = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].message, "ADs pause could not be saved: disk on fire");

  // An unreadable pause is no pause, reported once per service.
  h.logger->clear();
  h.storage->throwOnRead = true;
  EXPECT_NO_THROW(EXPECT_EQ(shownEverywhere(*service), allTrue));
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flag, LogFlag::error);
  EXPECT_EQ(entries[0].function, "shouldShowAd(for:)");
  EXPECT_NE(entries[0].message.find("disk unreadable"), std::string::npos) << entries[0].message;
}

TEST_F(AdsServiceDecisionTest, AStoredValueOfAnotherTypeIsNoPauseAndIsLoggedOncePerService) {
  h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey),
                                     h.now().addingTimeInterval(3600).timeIntervalSince1970());
  auto service = configuredService();
  EXPECT_EQ(shownEverywhere(*service), allTrue);
  EXPECT_TRUE(service->shouldShowDisconnectAd());
  EXPECT_TRUE(service->shouldShowAppLaunchAd());
  auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flag, LogFlag::error);
  EXPECT_EQ(entries[0].file, kFileText);
  EXPECT_EQ(entries[0].function, "shouldShowAd(for:)");
  EXPECT_NE(entries[0].message.find("AdsService.adsPausedTillDate"), std::string::npos);

  // Another service reports it once again; a real pause written over it holds.
  auto another = configuredService();
  EXPECT_EQ(shownEverywhere(*another), allTrue);
  EXPECT_EQ(h.logger->entries().size(), 2u);
  another->pauseAds(60);
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_EQ(h.logger->entries().size(), 2u);
}

TEST_F(AdsServiceDecisionTest, MissingRequiredServicesAreReportedAndAnswerNoAd) {
  auto service = AdsService::create(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr);
  EXPECT_EQ(h.logger->assertionFailures().size(), 6u);
  AdsServiceTestAccess::setConfig(*service, fullConfig());
  EXPECT_EQ(shownEverywhere(*service), allFalse);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_NO_THROW(service->pauseAds(60));
  EXPECT_EQ(service->appOpenAdTimeout(), 4.5);

  // Storage alone missing: the pause cannot be checked, so nothing is shown.
  h.logger->clear();
  auto withoutStorage = AdsService::create(h.configProvider, h.user, h.connection, h.rateUs,
                                           nullptr, h.reporting, nullptr, nullptr, nullptr);
  ASSERT_EQ(h.logger->assertionFailures().size(), 1u);
  EXPECT_EQ(h.logger->assertionFailures()[0].message, "AdsService needs a storage");
  AdsServiceTestAccess::setConfig(*withoutStorage, fullConfig());
  EXPECT_EQ(shownEverywhere(*withoutStorage), allFalse);
}

}  // namespace
}  // namespace QVRAdKit
