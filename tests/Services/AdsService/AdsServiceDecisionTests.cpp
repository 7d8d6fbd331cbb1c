// The ads service's decisions: whether an ad may be shown, which interstitial to present, the
// application-start placement, the app-open timeout and the persisted ads pause.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteStorage.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using namespace testing_support;
using Platform::Date;
using Status = QVVPNManagerStatus;

constexpr std::string_view kFileText = "QVRAdKit/Services/AdsService/AdsService";
const AdsPlacement kConnect = kAllPlacements[0];
const AdsPlacement kDisconnect = kAllPlacements[1];

// Every placement configured with one key; the connect interstitial on IronSource, the others on
// AdMob; interstitials with the given interval.
AdsConfig fullConfig(double interval = 600) {
  return AdsConfig(
      {},
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::ironSource, interval)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, interval)},
       {InterstitialAdPlacement::appLaunch, AdPlacementConfig({"l"}, AdSource::adMob, interval)}},
      {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"t"})}},
      {{AppOpenAdPlacement::main, AdPlacementConfig({"m"}, AdSource::adMob, 4.5)},
       {AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"o"})}});
}

class AdsServiceDecisionTest : public ::testing::Test {
 protected:
  std::shared_ptr<AdsService> configured(AdsConfig config = fullConfig(),
                                         std::shared_ptr<Storage> storage = nullptr) {
    auto service = h.makeService(nullptr, std::move(storage));
    AdsServiceTestAccess::setConfig(*service, std::move(config));
    return service;
  }
  void storePauseUntil(Date date) {
    h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey), date);
  }
  // shouldShowAd at every placement of kAllPlacements, as '1' (shown) and '0'.
  static std::string shown(const AdsService& service) {
    std::string result;
    for (const auto& placement : kAllPlacements)
      result += service.shouldShowAd(placement) ? '1' : '0';
    return result;
  }
  int rateUsCalls() const {
    return h.rateUs->checkCalls() + h.rateUs->flagCalls() + h.rateUs->blockCalls();
  }

  AdsServiceHarness h;
};

TEST_F(AdsServiceDecisionTest, WithoutAConfigurationOrARequiredServiceNothingIsShown) {
  auto service = h.makeService();
  EXPECT_EQ(shown(*service), "000000");
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->appOpenAdTimeout(), 0);
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_EQ(rateUsCalls(), 0);
  EXPECT_TRUE(h.logger->entries().empty());

  auto bare = AdsService::create(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
  EXPECT_EQ(h.logger->assertionFailures().size(), 6u);
  AdsServiceTestAccess::setConfig(*bare, fullConfig());
  EXPECT_EQ(shown(*bare), "000000");
  EXPECT_EQ(bare->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_NO_THROW(bare->pauseAds(60));
}

TEST_F(AdsServiceDecisionTest, PremiumBeatsEveryOtherCheckAsksNothingAndRecordsNoGrant) {
  auto service = configured();
  h.setPremium(true);
  int switchCalls = 0;
  h.pauses->config = AdsPauseConfig({{kConnect, [&] {
                                        ++switchCalls;
                                        return true;
                                      }}});
  auto capping = std::make_shared<FakeCappingChecker>();
  AdsServiceTestAccess::setIronSource(*service, capping);

  EXPECT_EQ(shown(*service), "000000");
  EXPECT_FALSE(service->shouldShowAppLaunchAd());
  EXPECT_FALSE(service->shouldShowDisconnectAd());
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);  // status 1: connect
  EXPECT_EQ(switchCalls, 0);
  EXPECT_EQ(h.storage->reads, 0);
  EXPECT_TRUE(capping->asked.empty());
  EXPECT_EQ(rateUsCalls(), 0);
  EXPECT_TRUE(h.logger->entries().empty());

  h.setPremium(false);
  capping->capped = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
}

TEST_F(AdsServiceDecisionTest, FreeUseWithholdsEveryAdButNotTheInterstitialGrant) {
  auto service = configured();
  h.pauses->config = AdsPauseConfig({{kConnect, [] { return true; }}});
  h.freeUse->setFreeUseActive(true);
  EXPECT_EQ(shown(*service), "000000");
  EXPECT_EQ(h.storage->reads, 0);
  EXPECT_TRUE(h.logger->entries().empty()) << "the pause switch must not be reached";
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.freeUse->setFreeUseActive(false);
  EXPECT_TRUE(service->shouldShowAd(kDisconnect));
  h.freeUse = nullptr;  // no free-use service, no free-use rule
  EXPECT_TRUE(configured()->shouldShowAd(kDisconnect));
}

TEST_F(AdsServiceDecisionTest, UnconfiguredPlacementsAndEmptyKeyListsShowNothing) {
  auto service = configured(
      AdsConfig({},
                {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})},
                 {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({})}},
                {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}}, {}));
  h.pauses->config = AdsPauseConfig({{kAllPlacements[4], [] { return true; }}});
  EXPECT_EQ(shown(*service), "100000");
  EXPECT_FALSE(service->shouldShowDisconnectAd());
  EXPECT_TRUE(h.logger->entries().empty()) << "an unconfigured placement stops before the switch";
  EXPECT_EQ(h.storage->reads, 4) << "only configured placements read the pause date";

  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect) << "keys ignored";
  AdsServiceTestAccess::setConfig(*service, AdsConfig({}, {}, {}, {}));
  h.connection->setStatus(Status::disconnected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
}

TEST_F(AdsServiceDecisionTest, TheStoredPauseHoldsWhileNowIsStrictlyEarlierThanItsDate) {
  auto service = configured();
  const Date end = h.clock().now().addingTimeInterval(100);
  storePauseUntil(end);
  // Offsets from the end of the pause; a passed date stays stored and a clock set back obeys it.
  for (const auto& [offset, expected] : {std::pair{-100.0, "000000"},
                                         {-0.001, "000000"},
                                         {0.0, "111111"},
                                         {1000.0, "111111"},
                                         {-1.0, "000000"}}) {
    h.clock().set(end.addingTimeInterval(offset));
    EXPECT_EQ(shown(*service), expected) << offset;
  }
  EXPECT_EQ(h.storage->pausedTill(), end);
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect) << "not paused";
  EXPECT_TRUE(h.logger->entries().empty());
}

TEST_F(AdsServiceDecisionTest, PauseSwitchHoldsBackOnlyItsPlacementIsLoggedAndIsAskedAfresh) {
  auto service = configured();
  bool paused = true;
  int calls = 0;
  h.pauses->config = AdsPauseConfig({{kConnect, [&] {
                                        ++calls;
                                        return paused;
                                      }}});
  EXPECT_EQ(shown(*service), "011111");
  EXPECT_TRUE(service->shouldShowDisconnectAd());
  EXPECT_EQ(calls, 1);
  const auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].flag, LogFlag::warning);
  EXPECT_EQ(position(*entries[0].flag), 1);
  EXPECT_EQ(entries[0].message,
            "ADs would be paused for placement: "
            "interstitial(QVRAdKit.InterstitialAdPlacement.connect)");
  EXPECT_EQ(entries[0].file, kFileText);
  EXPECT_EQ(entries[0].function, "shouldShowAd(for:)");
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect) << "not switched";

  paused = false;
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  paused = true;
  h.pauses->config.reset();  // the provider is read at every check
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  EXPECT_EQ(calls, 2);

  // A stored pause decides first: the switch is not asked and nothing more is logged.
  h.pauses->config = AdsPauseConfig({{kConnect, [&] {
                                        ++calls;
                                        return paused;
                                      }}});
  storePauseUntil(h.clock().now().addingTimeInterval(10));
  EXPECT_FALSE(service->shouldShowAd(kConnect));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(h.logger->entries().size(), 1u);
}

TEST_F(AdsServiceDecisionTest, OnlyStatusesOneAndThreeCallForAnInterstitial) {
  auto service = configured();
  for (auto status : {Status::invalid, Status::connecting, Status::reasserting,
                      Status::disconnecting, static_cast<Status>(-1)}) {
    h.connection->setStatus(status);
    EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << rawValue(status);
  }
  EXPECT_EQ(rateUsCalls(), 0);

  // Each status asks about its own rate-us moment.
  h.rateUs->setMomentBlock(RateUsMoment::disconnect, true);
  h.connection->setStatus(Status::disconnected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  h.rateUs->setMomentBlock(RateUsMoment::disconnect, false);
  h.rateUs->setMomentBlock(RateUsMoment::connect, true);
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
}

TEST_F(AdsServiceDecisionTest, EachInterstitialPlacementWaitsItsIntervalFromItsOwnLastGrant) {
  auto service = configured(AdsConfig(
      {},
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 30)}},
      {}, {}));
  const Date firstGrant = h.clock().now();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  h.clock().set(firstGrant.addingTimeInterval(599.999));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  h.clock().advance(29);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  // Refusals recorded nothing: the interval still runs from the first grant.
  h.connection->setStatus(Status::disconnected);
  h.clock().set(firstGrant.addingTimeInterval(600));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  h.clock().set(firstGrant);  // a clock set back counts as inside the interval
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
}

TEST_F(AdsServiceDecisionTest, NetworkCappingIsAskedOnlyForAnIronSourceCandidateOnceStarted) {
  auto service = configured(AdsConfig(
      {},
      {{InterstitialAdPlacement::connect,
        AdPlacementConfig({"is-a", "is-b"}, AdSource::ironSource, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 600)}},
      {}, {}));
  auto capping = std::make_shared<FakeCappingChecker>();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect) << "no bridge yet";

  h.clock().advance(600);
  AdsServiceTestAccess::setIronSource(*service, capping);
  const int rateUsBefore = rateUsCalls();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked, (std::vector<std::vector<std::string>>{{"is-a", "is-b"}}));
  EXPECT_EQ(rateUsCalls(), rateUsBefore) << "capping decides before the rate-us checks";

  capping->capped = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect) << "no grant kept";
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked.size(), 3u) << "capping is asked before the interval";

  capping->capped = true;
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_EQ(capping->asked.size(), 3u) << "an AdMob candidate never asks the bridge";
  EXPECT_TRUE(service->shouldShowAd(kConnect)) << "capping concerns the interstitial grant only";
}

TEST_F(AdsServiceDecisionTest, RateUsCheckThenFlagThenBlockWithholdTheInterstitial) {
  struct Case {
    bool check, flag, block;
    InterstitialType expected;
    std::array<int, 3> asked;  // check, flag, block
  };
  const auto none = InterstitialType::none, disconnect = InterstitialType::disconnect;
  h.connection->setStatus(Status::connected);
  for (const auto& c :
       {Case{false, false, false, disconnect, {1, 0, 1}}, Case{true, false, true, none, {1, 1, 0}},
        Case{true, true, false, disconnect, {1, 1, 1}}, Case{false, true, true, none, {1, 0, 1}}}) {
    h.rateUs = std::make_shared<Sandbox::SandboxRateUsService>();
    h.rateUs->setMomentCheck(RateUsMoment::disconnect, c.check);
    h.rateUs->setPromptFlag(c.flag);
    h.rateUs->setMomentBlock(RateUsMoment::disconnect, c.block);
    auto service = configured();
    SCOPED_TRACE(::testing::Message() << c.check << c.flag << c.block);
    EXPECT_EQ(service->interstitialTypeToPresent(), c.expected);
    EXPECT_EQ((std::array{h.rateUs->checkCalls(), h.rateUs->flagCalls(), h.rateUs->blockCalls()}),
              c.asked);
    // A refusal recorded no grant: once lifted, the interstitial is granted; a grant started the
    // 600 s interval.
    h.rateUs->setMomentCheck(RateUsMoment::disconnect, false);
    h.rateUs->setMomentBlock(RateUsMoment::disconnect, false);
    EXPECT_EQ(service->interstitialTypeToPresent(), c.expected == none ? disconnect : none);
  }
}

TEST_F(AdsServiceDecisionTest, AppLaunchPlacementPrefersTheInterstitialAndTimeoutIsMains) {
  auto service = configured();
  EXPECT_EQ(service->appLaunchPlacement(), kAllPlacements[2]);
  EXPECT_EQ(service->appOpenAdTimeout(), 4.5);

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({},
                {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 9)}},
                {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig({}, AdSource::adMob, 7)}}));
  EXPECT_EQ(service->appLaunchPlacement(), kAllPlacements[5]);
  EXPECT_FALSE(service->shouldShowAppLaunchAd()) << "the app-open placement has no keys";
  EXPECT_EQ(service->appOpenAdTimeout(), 0) << "only the main placement's timeout counts";

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({}, {}, {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"o"})}}));
  h.pauses->config = AdsPauseConfig({{kAllPlacements[2], [] { return true; }}});
  EXPECT_TRUE(service->shouldShowAppLaunchAd()) << "a switch for the other format's placement";

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({}, {}, {}, {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"m"})}}));
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_FALSE(service->shouldShowAppLaunchAd());
}

TEST_F(AdsServiceDecisionTest, PauseAdsStoresTheEndOfThePauseAndReplacesAnEarlierOne) {
  auto service = configured();
  service->pauseAds(3600);
  EXPECT_EQ(h.storage->pausedTill(), h.clock().now().addingTimeInterval(3600));
  h.clock().advance(3599.999);
  EXPECT_EQ(shown(*service), "000000");
  h.clock().advance(0.001);
  EXPECT_EQ(shown(*service), "111111");

  constexpr double kInf = std::numeric_limits<double>::infinity();
  const Date now = h.clock().now();
  struct Case {
    double interval;
    Date end;
    const char* shown;
  };
  for (const auto& c :
       {Case{0, now, "111111"}, Case{-10, now.addingTimeInterval(-10), "111111"},
        Case{kInf, Date::distantFuture(), "000000"}, Case{-kInf, Date::distantPast(), "111111"},
        Case{1e300, Date::distantFuture(), "000000"},
        Case{-1e300, Date::distantPast(), "111111"}}) {
    service->pauseAds(3600);
    service->pauseAds(c.interval);
    EXPECT_EQ(h.storage->pausedTill(), c.end) << c.interval;
    EXPECT_EQ(shown(*service), c.shown) << c.interval;
  }
  EXPECT_TRUE(h.logger->entries().empty());

  service->pauseAds(3600);
  service->pauseAds(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(h.storage->pausedTill(), now.addingTimeInterval(3600)) << "NaN changes nothing";
  const auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].isAssertionFailure());
  EXPECT_EQ(entries[0].function, "pauseAds(for:)");
}

TEST_F(AdsServiceDecisionTest, AFailedPauseWriteIsLoggedAndNeverThrows) {
  auto service = configured();
  h.storage->failWrites = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  h.storage->throwOnWrite = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  EXPECT_EQ(h.storage->pausedTill(), std::nullopt);
  EXPECT_EQ(h.logger->messages(),
            (std::vector<std::string>{"ADs pause could not be saved: disk full",
                                      "ADs pause could not be saved: disk on fire"}));
  EXPECT_EQ(h.logger->entries()[0].flag, LogFlag::error);
  EXPECT_EQ(h.logger->entries()[0].function, "pauseAds(for:)");
}

TEST_F(AdsServiceDecisionTest, AnUnusableStoredPauseIsNoPauseAndIsLoggedOncePerService) {
  h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey), 4e9);
  auto service = configured();
  EXPECT_EQ(shown(*service), "111111");
  h.storage->throwOnRead = true;
  EXPECT_NO_THROW(EXPECT_EQ(shown(*service), "111111"));
  auto another = configured();
  EXPECT_EQ(shown(*another), "111111");

  const auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].flag, LogFlag::error);
  EXPECT_EQ(entries[0].file, kFileText);
  EXPECT_EQ(entries[0].function, "shouldShowAd(for:)");
  EXPECT_EQ(entries[0].message,
            "ADs pause under \"AdsService.adsPausedTillDate\" is ignored: the stored value is not "
            "a date");
  EXPECT_NE(entries[1].message.find("disk unreadable"), std::string::npos) << entries[1].message;

  h.storage->throwOnRead = false;
  another->pauseAds(60);  // a real pause written over the value holds
  EXPECT_EQ(shown(*service), "000000");
}

TEST_F(AdsServiceDecisionTest, APauseSurvivesClosingAndReopeningASQLiteStore) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("qvr-ads-pause-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  auto open = [&]() -> std::shared_ptr<Storage> {
    auto store = Sandbox::SQLiteKeyValueStore::open((dir / "host.sqlite").string());
    EXPECT_TRUE(store) << store.error().localizedDescription;
    return store ? std::make_shared<Sandbox::SQLiteStorage>(*store) : nullptr;
  };
  configured(fullConfig(), open())->pauseAds(3600);  // the last owner of the store goes: closed

  auto restarted = configured(fullConfig(), open());
  EXPECT_EQ(shown(*restarted), "000000");
  h.clock().advance(3599.5);
  EXPECT_EQ(shown(*restarted), "000000");
  h.clock().advance(0.5);
  EXPECT_EQ(shown(*restarted), "111111");
  EXPECT_TRUE(h.logger->entries().empty());
  restarted.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace QVRAdKit
