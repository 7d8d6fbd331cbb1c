// The ads service's decisions: whether an ad may be shown, which interstitial to present, the
// application-start placement, the app-open timeout and the persisted ads pause.

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteStorage.h"
#include "Services/AdsService/AdsServiceTestSupport.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit {
namespace {

using namespace testing_support;
using Platform::Date;
using Status = QVVPNManagerStatus;

const AdsPlacement kConnect = kAllPlacements[0];

// Every placement configured with keys: the connect interstitial on IronSource with a 600 s
// interval, the disconnect one on AdMob with 30 s; the app-open main placement with 4.5 s.
AdsConfig fullConfig() {
  return AdsConfig(
      {},
      {{InterstitialAdPlacement::connect,
        AdPlacementConfig({"c1", "c2"}, AdSource::ironSource, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig({"d"}, AdSource::adMob, 30)},
       {InterstitialAdPlacement::appLaunch, AdPlacementConfig({"l"}, AdSource::adMob, 600)}},
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
  // Installs the host's pause switch for placement: counts its calls, answers switchAnswer.
  void installSwitch(const AdsPlacement& placement) {
    h.pauses->config =
        AdsPauseConfig({{placement, [this] { return ++switchCalls > 0 && switchAnswer; }}});
  }
  // shouldShowAd at every placement of kAllPlacements, as '1' (shown) and '0'.
  static std::string shown(const AdsService& service) {
    std::string result;
    for (const auto& placement : kAllPlacements)
      result += service.shouldShowAd(placement) ? "1" : "0";
    return result;
  }
  int rateUsCalls() const {
    return h.rateUs->checkCalls() + h.rateUs->flagCalls() + h.rateUs->blockCalls();
  }

  AdsServiceHarness h;
  int switchCalls = 0;
  bool switchAnswer = true;
};

TEST_F(AdsServiceDecisionTest, PremiumThenFreeUseComeBeforeEveryOtherCheck) {
  auto service = configured();
  installSwitch(kConnect);
  service->pauseAds(3600);
  auto capping = std::make_shared<FakeCappingChecker>();
  AdsServiceTestAccess::setIronSource(*service, capping);
  h.setPremium(true);
  EXPECT_EQ(shown(*service), "000000");
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);  // status 1: connect
  EXPECT_EQ(switchCalls + h.storage->reads + rateUsCalls() + capping->asked.size(), 0u);

  // Free use withholds every ad, before the stored pause and the switch, but not the interstitial
  // grant; the premium refusal recorded no grant.
  h.setPremium(false);
  h.freeUse->setFreeUseActive(true);
  capping->capped = false;
  EXPECT_EQ(shown(*service), "000000");
  EXPECT_EQ(switchCalls + h.storage->reads, 0);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.storage->values.clear();
  h.freeUse = nullptr;  // no free-use service, no free-use rule
  EXPECT_EQ(shown(*configured()), "011111");
}

TEST_F(AdsServiceDecisionTest, NoConfigurationUnconfiguredPlacementsAndEmptyKeysShowNothing) {
  auto service = h.makeService();
  EXPECT_EQ(shown(*service), "000000");
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->appOpenAdTimeout(), 0);
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_EQ(rateUsCalls(), 0);
  service->loadAds();
  for (auto placement : {InterstitialAdPlacement::connect, InterstitialAdPlacement::disconnect,
                         InterstitialAdPlacement::appLaunch})
    EXPECT_EQ(service->interstitialAd(placement), nullptr);
  EXPECT_EQ(service->rewardedAd(RewardedAdPlacement::timewall), nullptr);
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::main), nullptr);
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::appLaunch), nullptr);

  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({},
                {{InterstitialAdPlacement::connect, AdPlacementConfig({"c"}, AdSource::adMob, 9)},
                 {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({})}},
                {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}},
                {{AppOpenAdPlacement::main, AdPlacementConfig({}, AdSource::adMob, 3)}}));
  installSwitch(kAllPlacements[2]);
  EXPECT_EQ(shown(*service), "100000");
  EXPECT_EQ(switchCalls, 0) << "an unconfigured placement stops before the switch";
  EXPECT_EQ(h.storage->reads, 4) << "only configured placements read the pause date";
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt);
  EXPECT_EQ(service->appOpenAdTimeout(), 3) << "the main app-open placement's, not connect's";
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect) << "keys ignored";

  // Required services missing: reported, and nothing is shown.
  auto bare = AdsService::create(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
  EXPECT_EQ(h.logger->assertionFailures().size(), 6u);
  AdsServiceTestAccess::setConfig(*bare, fullConfig());
  EXPECT_EQ(shown(*bare), "000000");
  EXPECT_EQ(bare->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_NO_THROW(bare->pauseAds(60));
}

TEST_F(AdsServiceDecisionTest, PauseSwitchHoldsBackOnlyItsPlacementIsLoggedAndIsAskedAfresh) {
  auto service = configured();
  installSwitch(kConnect);
  EXPECT_EQ(shown(*service), "011111");
  EXPECT_EQ(switchCalls, 1);
  const auto entries = h.logger->entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0],
            (Sandbox::RecordingLogger::Entry{
                LogFlag::warning,
                "ADs would be paused for placement: "
                "interstitial(QVRAdKit.InterstitialAdPlacement.connect)",
                "QVRAdKit/Services/AdsService/AdsService", "shouldShowAd(for:)", entries[0].line}));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect) << "not switched";

  switchAnswer = false;
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  EXPECT_EQ(switchCalls, 2);
  // The provider is read at every check: no switch for it, or one without a callable, holds back
  // nothing.
  switchAnswer = true;
  h.pauses->config = AdsPauseConfig({});
  EXPECT_TRUE(service->shouldShowAd(kConnect));
  h.pauses->config = AdsPauseConfig({{kConnect, nullptr}});
  EXPECT_TRUE(service->shouldShowAd(kConnect));

  // A stored pause decides first: the switch is not asked and nothing more is logged.
  installSwitch(kConnect);
  service->pauseAds(10);
  EXPECT_FALSE(service->shouldShowAd(kConnect));
  EXPECT_EQ(switchCalls, 2);
  EXPECT_EQ(h.logger->entries().size(), 1u);
}

TEST_F(AdsServiceDecisionTest, StatusesOneAndThreeCallForAnInterstitialThatRateUsMayWithhold) {
  auto service = configured();
  for (auto status : {Status::invalid, Status::connecting, Status::reasserting,
                      Status::disconnecting, static_cast<Status>(-1)}) {
    h.connection->setStatus(status);
    EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << rawValue(status);
  }
  EXPECT_EQ(rateUsCalls(), 0);

  h.rateUs->setMomentBlock(RateUsMoment::disconnect, true);  // the other moment's block
  h.connection->setStatus(Status::disconnected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  // At status 3, a fresh service each time: check, flag, block, the answer, and how often each
  // was asked (the flag only at a rate-us moment, the block only when the flag did not withhold).
  const auto none = InterstitialType::none, disconnect = InterstitialType::disconnect;
  h.connection->setStatus(Status::connected);
  for (const auto& [check, flag, block, expected, asked] :
       {std::tuple{false, false, false, disconnect, std::array{1, 0, 1}},
        {true, false, true, none, std::array{1, 1, 0}},
        {true, true, false, disconnect, std::array{1, 1, 1}},
        {false, true, true, none, std::array{1, 0, 1}}}) {
    SCOPED_TRACE(::testing::Message() << check << flag << block);
    h.rateUs = std::make_shared<Sandbox::SandboxRateUsService>();
    h.rateUs->setMomentCheck(RateUsMoment::disconnect, check);
    h.rateUs->setPromptFlag(flag);
    h.rateUs->setMomentBlock(RateUsMoment::disconnect, block);
    service = configured();
    EXPECT_EQ(service->interstitialTypeToPresent(), expected);
    EXPECT_EQ((std::array{h.rateUs->checkCalls(), h.rateUs->flagCalls(), h.rateUs->blockCalls()}),
              asked);
    // A refusal recorded no grant (granted once lifted); a grant started the interval.
    h.rateUs->setMomentCheck(RateUsMoment::disconnect, false);
    h.rateUs->setMomentBlock(RateUsMoment::disconnect, false);
    EXPECT_EQ(service->interstitialTypeToPresent(), expected == none ? disconnect : none);
  }
}

TEST_F(AdsServiceDecisionTest, EachPlacementWaitsItsOwnIntervalAndIronSourceCappingComesFirst) {
  auto service = configured();
  const Date firstGrant = h.clock().now();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect) << "no bridge yet";
  h.clock().set(firstGrant.addingTimeInterval(599.999));
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  h.connection->setStatus(Status::connected);  // its own date and its own 30 s
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  h.clock().advance(29.999);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);

  // Once started, the bridge is asked first, and only about an IronSource candidate's keys.
  auto capping = std::make_shared<FakeCappingChecker>();
  AdsServiceTestAccess::setIronSource(*service, capping);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_TRUE(capping->asked.empty()) << "an AdMob candidate never asks the bridge";
  h.connection->setStatus(Status::disconnected);
  h.clock().set(firstGrant.addingTimeInterval(600));
  const int rateUsBefore = rateUsCalls();
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked, (std::vector<std::vector<std::string>>{{"c1", "c2"}}));
  EXPECT_EQ(rateUsCalls(), rateUsBefore) << "capping decides before the rate-us checks";
  EXPECT_TRUE(service->shouldShowAd(kConnect)) << "capping concerns the interstitial grant only";

  // Refusals recorded nothing: the interval still runs from the first grant.
  capping->capped = false;
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(capping->asked.size(), 3u) << "capping is asked before the interval";
  h.clock().set(firstGrant);  // a clock set back counts as inside the interval
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
}

TEST_F(AdsServiceDecisionTest, AppLaunchPlacementPrefersTheInterstitial) {
  auto service = configured();
  EXPECT_EQ(service->appLaunchPlacement(), kAllPlacements[2]);
  EXPECT_EQ(service->appOpenAdTimeout(), 4.5);
  AdsServiceTestAccess::setConfig(
      *service,
      AdsConfig({}, {}, {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"o"})}}));
  installSwitch(kAllPlacements[2]);
  EXPECT_EQ(service->appLaunchPlacement(), kAllPlacements[5]);
  EXPECT_TRUE(service->shouldShowAppLaunchAd()) << "a switch for the other format's placement";
  EXPECT_EQ(switchCalls, 0);
}

TEST_F(AdsServiceDecisionTest, APauseHoldsWhileNowIsStrictlyEarlierThanItsStoredEnd) {
  auto service = configured();
  const Date end = h.clock().now().addingTimeInterval(100);
  service->pauseAds(100);
  // Offsets from the end; a passed end stays stored and a clock set back obeys it again.
  for (const auto& [offset, expected] :
       {std::pair{-0.001, "000000"}, {0.0, "111111"}, {1000.0, "111111"}, {-1.0, "000000"}}) {
    h.clock().set(end.addingTimeInterval(offset));
    EXPECT_EQ(shown(*service), expected) << offset;
  }
  EXPECT_EQ(h.storage->pausedTill(), end);
  h.connection->setStatus(Status::connected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect) << "not paused";

  // Every interval replaces a running pause.
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const Date now = h.clock().now();
  for (const auto& [interval, till, expected] : {std::tuple{0.0, now, "111111"},
                                                 {-10.0, now.addingTimeInterval(-10), "111111"},
                                                 {kInf, Date::distantFuture(), "000000"},
                                                 {-kInf, Date::distantPast(), "111111"},
                                                 {1e300, Date::distantFuture(), "000000"},
                                                 {-1e300, Date::distantPast(), "111111"}}) {
    service->pauseAds(3600);
    service->pauseAds(interval);
    EXPECT_EQ(h.storage->pausedTill(), till) << interval;
    EXPECT_EQ(shown(*service), expected) << interval;
  }
  EXPECT_TRUE(h.logger->entries().empty());

  service->pauseAds(3600);
  service->pauseAds(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(h.storage->pausedTill(), now.addingTimeInterval(3600)) << "NaN changes nothing";
  ASSERT_EQ(h.logger->entries().size(), 1u);
  EXPECT_EQ(h.logger->assertionFailures().at(0).function, "pauseAds(for:)");
}

TEST_F(AdsServiceDecisionTest, StorageTroubleIsNoPauseIsLoggedAndNeverThrows) {
  auto service = configured();
  h.storage->failWrites = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  h.storage->throwOnWrite = true;
  EXPECT_NO_THROW(service->pauseAds(3600));
  EXPECT_EQ(h.storage->pausedTill(), std::nullopt);

  // An unusable stored value is no pause, logged once per service.
  h.storage->values.insert_or_assign(std::string(AdsService::kAdsPausedTillDateKey), 4e9);
  EXPECT_EQ(shown(*service), "111111");
  h.storage->throwOnRead = true;
  EXPECT_NO_THROW(EXPECT_EQ(shown(*service), "111111"));
  EXPECT_NO_THROW(EXPECT_EQ(shown(*configured()), "111111"));
  EXPECT_EQ(
      h.logger->messages(),
      (std::vector<std::string>{
          "ADs pause could not be saved: disk full", "ADs pause could not be saved: disk on fire",
          "ADs pause under \"AdsService.adsPausedTillDate\" is ignored: the stored "
          "value is not a date",
          "ADs pause under \"AdsService.adsPausedTillDate\" is ignored: it could not "
          "be read: disk unreadable"}));
  for (const auto& entry : h.logger->entries()) EXPECT_EQ(entry.flag, LogFlag::error);

  h.storage->throwOnRead = h.storage->throwOnWrite = h.storage->failWrites = false;
  configured()->pauseAds(60);  // a real pause written over the value holds
  EXPECT_EQ(shown(*service), "000000");
}

TEST_F(AdsServiceDecisionTest, APauseSurvivesClosingAndReopeningASQLiteStore) {
  const Testing::TemporaryDirectory dir("qvr-ads-pause-");
  auto open = [&]() -> std::shared_ptr<Storage> {
    auto store = Sandbox::SQLiteKeyValueStore::open(dir.file("host.sqlite"));
    EXPECT_TRUE(store) << store.error().localizedDescription;
    return store ? std::make_shared<Sandbox::SQLiteStorage>(*store) : nullptr;
  };
  configured(fullConfig(), open())->pauseAds(3600);  // its store's last owner goes: file closed
  auto restarted = configured(fullConfig(), open());
  h.clock().advance(3599.999);
  EXPECT_EQ(shown(*restarted), "000000");
  h.clock().advance(0.001);
  EXPECT_EQ(shown(*restarted), "111111");
}

}  // namespace
}  // namespace QVRAdKit
