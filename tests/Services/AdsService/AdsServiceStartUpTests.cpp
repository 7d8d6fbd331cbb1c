// The ads service from the host's side: start-up runs with consent, configuration and network
// starts, the builders they make, and ads handed out, presented and reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using Strings = std::vector<std::string>;

// Records what the host's interstitial listener hears.
struct RecordingInterstitialDelegate final : InterstitialAdDelegate {
  Strings calls;
  void interstitialAdDidOpen(InterstitialAd&) override { calls.emplace_back("open"); }
  void interstitialAdWillClose(InterstitialAd&) override { calls.emplace_back("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { calls.emplace_back("close"); }
  void interstitialAdDidFail(InterstitialAd&) override { calls.emplace_back("fail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { calls.emplace_back("failToShow"); }
};

// The Unity metadata store, noting how many GMA requests came before each consent write.
struct RequestCountingMetaDataStore final : UADSMetaDataStore {
  explicit RequestCountingMetaDataStore(const Sandbox::GoogleMobileAdsSandbox& gma) : gma(gma) {}
  void commit(const Entries& entries) override {
    if (entries.contains("gdpr.consent")) requestsBeforeWrite.push_back(gma.requests().size());
  }
  const Sandbox::GoogleMobileAdsSandbox& gma;
  std::vector<std::size_t> requestsBeforeWrite;
};

// Both networks unless sources says otherwise.
AdsConfig standardConfig(AdsConfig::Sources sources = {{AdSource::adMob, std::nullopt},
                                                       {AdSource::ironSource, "is-key"}}) {
  return AdsConfig(
      std::move(sources),
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"c1", "c2"}, AdSource::adMob, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({"dis"})}},
      {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"reward"})}},
      {{AppOpenAdPlacement::main, AdPlacementConfig({"open"}, AdSource::adMob, 30)}});
}

class AdsServiceStartUpTests : public ::testing::Test {
 protected:
  // Runs the main queue (and waits for the background phase) until done() holds.
  void runUntil(const std::function<bool()>& done) { EXPECT_TRUE(h.env->runUntil(done)); }
  // Lets the background phase finish, then runs what it posted to the main queue.
  void settle() {
    h.env->background().waitUntilIdle();
    h.drain();
  }
  // A service whose app-launch loading stream is recorded into appLaunchValues.
  std::shared_ptr<AdsService> recordedService() {
    auto service = h.makeService(h.consentService);
    appLaunchSubscription = service->appLaunchIsLoadingAdStream()->subscribe(
        [this](bool value) { appLaunchValues.push_back(value); });
    return service;
  }
  // A recorded service that started a run with the GDPR load and got config; the main queue has
  // run until done() held (by default, until the app-open key was requested).
  std::shared_ptr<AdsService> run(const std::function<bool()>& done = nullptr,
                                  const AdsConfig& config = standardConfig()) {
    auto service = recordedService();
    service->checkConsentAndLoadAds(true);
    h.configProvider->publish(config);
    runUntil(done ? done : std::function<bool()>([this] { return h.requested("open"); }));
    return service;
  }

  testing_support::ConsentedAdsHarness h;
  std::vector<bool> appLaunchValues;
  Rx::Disposable appLaunchSubscription;
};

TEST_F(AdsServiceStartUpTests, ConnectInterstitialFromRunToViewedEvent) {
  auto service = run();  // obtained consent goes on without waiting for the update, which fails
  EXPECT_TRUE(h.requested("c1") && h.requested("c2") && h.requested("reward"));
  EXPECT_EQ(h.gma->startCallCount(), 1U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  EXPECT_TRUE(h.consent->answerUpdate(Platform::Error{"UMP", 1, "offline"}));
  h.drain();
  EXPECT_TRUE(h.logger->assertionFailures().empty());

  h.reporting->clear();
  h.clock().advance(2.5);
  const auto shown = h.lastRequest("c1");
  h.gma->fill(shown, "GADMAdapterGoogleAdMobAds");
  h.connection->setStatus(QVVPNManagerStatus::disconnected);  // raw value 1: about to connect
  ASSERT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  auto ad = service->interstitialAd(InterstitialAdPlacement::connect);
  ASSERT_NE(ad, nullptr);
  auto delegate = std::make_shared<RecordingInterstitialDelegate>();
  ad->setDelegate(delegate);
  ad->present(std::make_shared<Platform::ViewController>());
  h.clock().advance(1);
  h.gma->willPresent(shown);
  h.clock().advance(7.25);
  h.gma->willDismiss(shown);
  h.gma->dismiss(shown);
  EXPECT_EQ(delegate->calls, (Strings{"open", "willClose", "close"}));

  // The taken ad's key is requested again at once, between the load and the opening.
  const auto events = h.reporting->events();
  EXPECT_EQ(h.eventNames(), (Strings{"ad_loaded", "ad_requested", "ad_opened", "ad_viewed"}));
  auto text = [&](std::size_t i, const char* name) {
    return std::get<std::string>(*events.at(i).parameter(name));
  };
  EXPECT_EQ(text(0, "action") + " " + text(0, "source") + " " + text(0, "unit_id"),
            "connect admob c1");
  EXPECT_EQ(std::get<std::int64_t>(*events[0].parameter("duration")), 2500);
  EXPECT_NE(text(1, "aaid"), text(0, "aaid")) << "a fresh ad";
  for (std::size_t i : {2, 3}) EXPECT_EQ(text(i, "aaid"), text(0, "aaid")) << i;
  EXPECT_EQ(std::get<std::int64_t>(*events[3].parameter("duration")), 7250);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << "600 s interval";
}

TEST_F(AdsServiceStartUpTests, GettersHandOutOnlyWhatThePlacementMayShow) {
  auto service = run();
  EXPECT_NE(service->rewardedAd(RewardedAdPlacement::timewall), nullptr) << "ready or not";
  // Taking an interstitial neither checks nor records a grant.
  h.gma->fill(h.lastRequest("c1"));
  h.connection->setStatus(QVVPNManagerStatus::disconnected);
  EXPECT_NE(service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);

  h.gma->fill(h.lastRequest("open"));
  service->pauseAds(60);
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::main), nullptr);
  EXPECT_EQ(service->rewardedAd(RewardedAdPlacement::timewall), nullptr);
  h.clock().advance(60);
  // A placement configured behind the run's back has no builder.
  const AdsConfig config = standardConfig();
  auto appOpens = config.appOpenPlacements();
  appOpens.emplace(AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"open"}));
  AdsServiceTestAccess::setConfig(*service,
                                  AdsConfig(config.sources(), config.interstitialPlacements(),
                                            config.rewardedPlacements(), appOpens));
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::appLaunch), nullptr);
  EXPECT_NE(service->appOpenAd(AppOpenAdPlacement::main), nullptr) << "kept through the pause";

  h.gma->fill(h.lastRequest("open"));  // the taken ad's fresh replacement
  h.setPremium(true);
  EXPECT_EQ(service->appOpenAd(AppOpenAdPlacement::main), nullptr);
  EXPECT_EQ(service->rewardedAd(RewardedAdPlacement::timewall), nullptr);
}

TEST_F(AdsServiceStartUpTests, RequiredConsentEndsTheRunWithAFormAndTheNextRunLoads) {
  h.consent->setConsentStatus(UMPConsentStatus::required);
  h.consent->setFormStatus(UMPFormStatus::available);
  auto service = run([] { return true; });
  ASSERT_TRUE(h.consent->answerUpdate());
  h.drain();
  auto form = h.consent->answerFormLoad();
  ASSERT_NE(form, nullptr);
  h.drain();
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false})) << "the run ended without ads";
  ASSERT_NE(h.consentService->gdprConsentForm(), nullptr);
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.gma->startCallCount(), 0U);

  h.consentService->gdprConsentForm()->presentFromViewController(
      std::make_shared<Platform::ViewController>(), [](const std::optional<Platform::Error>&) {});
  h.consent->setConsentStatus(UMPConsentStatus::obtained);
  form->answerPresentation();
  service->checkConsentAndLoadAds(true);
  runUntil([&] { return h.requested("c1"); });
  EXPECT_TRUE(h.unity->value("gdpr.consent").has_value()) << "mediators told after consent";
}

TEST_F(AdsServiceStartUpTests, ConsentErrorEndsTheRunSilentlyWithTheLogText) {
  h.consent->setConsentStatus(UMPConsentStatus::unknown);
  auto service = run([] { return true; });
  ASSERT_TRUE(h.consent->answerUpdate(Platform::Error{"UMP", 2, "offline"}));
  h.drain();
  EXPECT_TRUE(appLaunchValues.empty()) << "the run ended without marking itself loaded";
  const auto entries = h.logger->entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back(), (Sandbox::RecordingLogger::Entry{
                                LogFlag::debug, "ADs configurations error: offline",
                                "QVRAdKit/Services/AdsService/AdsService",
                                "checkConsentAndLoadAds(shouldLoadGDPR:)", entries.back().line}));
}

TEST_F(AdsServiceStartUpTests, UnresolvedConsentWithoutGDPRLoadReadsNoConfiguration) {
  h.consent->setConsentStatus(UMPConsentStatus::required);
  auto service = recordedService();
  EXPECT_TRUE(appLaunchValues.empty()) << "nothing before a run";
  service->checkConsentAndLoadAds(false);
  h.configProvider->publish(standardConfig());
  h.drain();
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false}));
  EXPECT_EQ(h.consent->updateRequestCount(), 0U);
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt) << "no configuration was stored";
}

TEST_F(AdsServiceStartUpTests, PremiumSwitchMidFlowDropsAdsAndWithholdsEverything) {
  auto service = run();
  h.gma->fill(h.lastRequest("c1"));
  h.setPremium(true);
  h.connection->setStatus(QVVPNManagerStatus::disconnected);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
  h.setPremium(false);
  h.drain();
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::connect), nullptr)
      << "the loaded ad was dropped; new loads are pending";
  h.gma->fill(h.lastRequest("c2"));
  EXPECT_NE(service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
}

TEST_F(AdsServiceStartUpTests, SecondRunRebuildsBuildersWithoutRestartingNetworks) {
  auto service = h.makeService(h.consentService);
  service->loadAds();  // before any run: builders start as soon as they exist
  service->checkConsentAndLoadAds(true);
  h.configProvider->publish(standardConfig());
  runUntil([&] { return h.requested("c1"); });
  h.drain();
  const auto firstRequests = h.gma->requests().size();
  h.gma->fill(h.lastRequest("c1"));

  // Only the first value of the stream counts: a new one waits for the next run.
  const AdsConfig config = standardConfig();
  h.configProvider->publish(AdsConfig(
      config.sources(), {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"n1"})}},
      config.rewardedPlacements(), {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"o2"})}}));
  settle();
  EXPECT_EQ(h.gma->requests().size(), firstRequests);
  EXPECT_EQ(service->appOpenAdTimeout(), 30);
  EXPECT_NE(service->interstitialAd(InterstitialAdPlacement::connect), nullptr) << "old keys";
  h.gma->fill(h.lastRequest("c1"));

  service->checkConsentAndLoadAds(true);
  runUntil([&] { return h.requested("n1") && h.requested("o2"); });
  EXPECT_EQ(service->appOpenAdTimeout(), 0);
  EXPECT_EQ(h.gma->startCallCount(), 1U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  const auto builderCount = h.users->subscriberCount();
  service->loadAds();  // started builders subscribe no second time
  EXPECT_EQ(h.users->subscriberCount(), builderCount);
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::connect), nullptr)
      << "the first run's loaded ad went with its builder";
}

TEST_F(AdsServiceStartUpTests, MediatorsHearConsentBeforeTheFirstRequestUnlessLoadingCameFirst) {
  auto store = std::make_shared<RequestCountingMetaDataStore>(*h.gma);
  h.env->setService<UADSMetaDataStore>(store);
  // AdMob only: the IronSource bridge, shared by the environment, answers one starter.
  auto first = run(nullptr, standardConfig({{AdSource::adMob, std::nullopt}}));
  h.drain();
  const auto firstRunRequests = h.gma->requests().size();
  auto early = h.makeService(h.consentService);
  early->loadAds();  // its builders start as they are built, before the mediators are told
  early->checkConsentAndLoadAds(true);
  runUntil([&] { return store->requestsBeforeWrite.size() == 2; });
  EXPECT_EQ(store->requestsBeforeWrite,
            (std::vector<std::size_t>{0, firstRunRequests + 1}));  // + the rewarded request
}

TEST_F(AdsServiceStartUpTests, NetworkStartThatNeverCompletesHoldsTheRun) {
  h.gma->setStartsAutomatically(false);
  auto service = run([&] { return h.gma->pendingStartCount() == 1; });
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  const auto waitsOn = service->snapshot().runWaitsOn;
  ASSERT_TRUE(waitsOn);
  EXPECT_EQ(waitsOn->step, StartUpStep::networkStart);
  EXPECT_EQ(waitsOn->network, AdSource::adMob);
  EXPECT_EQ(h.ironSource->initCalls().size(), 0U) << "networks start one after another";
  const std::weak_ptr<AdsService> weak = service;
  service.reset();
  EXPECT_FALSE(weak.expired()) << "the pending start holds the run, the run the service";
  h.gma->completeStart();
  runUntil([&] { return h.requested("reward"); });
  settle();
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  EXPECT_TRUE(weak.expired()) << "the completion gave the service away once called";
}

// A network keeps the start's completion for ever, and the service holds that network; or the
// configuration stream never emits: the environment's teardown still lets the run, the service,
// the network and the configuration subscription go.
TEST_F(AdsServiceStartUpTests, TheEnvironmentsTeardownEndsARunThatWaitsForEver) {
  for (const bool waitsForConfiguration : {false, true}) {
    SCOPED_TRACE(waitsForConfiguration ? "configuration" : "network start");
    testing_support::ConsentedAdsHarness fresh;
    auto& env = fresh.env;
    fresh.gma->setStartsAutomatically(false);
    auto service = fresh.makeService(fresh.consentService);
    service->checkConsentAndLoadAds(true);
    if (!waitsForConfiguration) fresh.configProvider->publish(standardConfig());
    EXPECT_TRUE(env->runUntil([&] {
      return waitsForConfiguration ? fresh.configProvider->subscriberCount() == 1
                                   : fresh.gma->pendingStartCount() == 1;
    }));
    const std::weak_ptr<AdsService> weak = service;
    const std::weak_ptr<Sandbox::GoogleMobileAdsSandbox> network = fresh.gma;
    service.reset();
    fresh.gma.reset();
    fresh.consentService.reset();
    fresh.drain();
    EXPECT_FALSE(weak.expired()) << "the wait holds the run while the environment lives";
    env.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(network.expired());
    EXPECT_EQ(fresh.configProvider->subscriberCount(), 0U);
  }
}

// The host drops the service while its run waits for the consent answer (true) or for a
// configuration (false): the wait holds the run, the run the service, until the run has ended.
class AdsServiceDroppedMidRunTests : public AdsServiceStartUpTests,
                                     public ::testing::WithParamInterface<bool> {};

TEST_P(AdsServiceDroppedMidRunTests, TheRunFinishesThenLetsTheServiceGo) {
  const bool waitsForConsent = GetParam();
  if (waitsForConsent) h.consent->setConsentStatus(UMPConsentStatus::unknown);
  auto service = recordedService();
  service->checkConsentAndLoadAds(true);  // obtained: the consent answer is not waited for
  runUntil([&] {
    return waitsForConsent ? h.consent->pendingUpdateCount() == 1
                           : h.configProvider->subscriberCount() == 1;
  });
  const std::weak_ptr<AdsService> weak = service;
  service.reset();
  EXPECT_FALSE(weak.expired()) << "the wait holds the run, the run the service";

  h.configProvider->publish(standardConfig());
  if (waitsForConsent) {
    h.consent->setConsentStatus(UMPConsentStatus::obtained);
    ASSERT_TRUE(h.consent->answerUpdate());
  }
  // The rewarded builder requests as it starts; the waterfalls would load on a later main-queue
  // turn, by which time the builders have gone with the service.
  runUntil([&] { return !appLaunchValues.empty() && h.requested("reward"); });
  settle();
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false}));
  EXPECT_EQ(h.gma->startCallCount(), 1U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  EXPECT_TRUE(h.unity->value("gdpr.consent").has_value()) << "the mediators were told";
  EXPECT_TRUE(weak.expired()) << "the ended run let go of the service";
  EXPECT_EQ(h.configProvider->subscriberCount(), 0U);
  EXPECT_EQ(h.users->subscriberCount(), 0U) << "its builders went with it";
}

INSTANTIATE_TEST_SUITE_P(WaitingForConsentOrAConfiguration, AdsServiceDroppedMidRunTests,
                         ::testing::Bool());

TEST_F(AdsServiceStartUpTests, EndedRunLeavesNothingThatHoldsTheService) {
  // With and without the GDPR load: the consent platform keeps the completions it was given.
  // AdMob only: the IronSource bridge, shared by the environment, answers one starter.
  h.configProvider->publish(standardConfig({{AdSource::adMob, std::nullopt}}));
  for (const bool shouldLoadGDPR : {true, false}) {
    auto service = h.makeService(h.consentService);
    const std::weak_ptr<AdsService> weak = service;
    service->checkConsentAndLoadAds(shouldLoadGDPR);
    bool ended = false;
    auto subscription =
        service->appLaunchIsLoadingAdStream()->subscribe([&](bool) { ended = true; });
    runUntil([&] { return ended; });
    settle();
    service.reset();
    EXPECT_TRUE(weak.expired()) << "shouldLoadGDPR " << shouldLoadGDPR;
  }
}

// A provider is host code: whether its stream ends without a value, asking it for its stream
// throws or subscribing to that stream throws, the run ends without a configuration (logging the
// fault where there is one), lets the service go, and the process goes on.
TEST_F(AdsServiceStartUpTests, ConfigurationProviderWithoutAValueEndsTheRunAndLetsGo) {
  enum class Fault { emptyStream, throwOnAsk, throwOnSubscribe };
  struct FaultyConfigProvider final : AdsConfigProvidable, RxAdsConfigProvidable {
    explicit FaultyConfigProvider(Fault fault) : fault(fault) {}
    Fault fault;
    [[nodiscard]] std::string configurationName() const override { return "faulty"; }
    [[nodiscard]] const RxAdsConfigProvidable& rx() const override { return *this; }
    [[nodiscard]] Rx::Observable<AdsConfig> adsConfig() const override {
      if (fault == Fault::emptyStream) return Rx::Observable<AdsConfig>::empty();
      if (fault == Fault::throwOnAsk) throw std::runtime_error("remote config unreachable");
      return Rx::Observable<AdsConfig>::create(
          [](const auto&) -> Rx::Disposable { throw std::runtime_error("stream refused"); });
    }
  };
  const struct {
    const char* name;
    Fault fault;
    const char* thrown;
  } cases[] = {
      {"the stream ends without a value", Fault::emptyStream, nullptr},
      {"adsConfig() throws", Fault::throwOnAsk, "remote config unreachable"},
      {"its stream's subscribe throws", Fault::throwOnSubscribe, "stream refused"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    h.logger->clear();
    auto service =
        AdsService::create(std::make_shared<FaultyConfigProvider>(c.fault), h.users, h.connection,
                           h.rateUs, h.consentService, h.reporting, h.storage, h.freeUse, nullptr);
    const std::weak_ptr<AdsService> weak = service;
    service->checkConsentAndLoadAds(false);
    if (c.thrown) {  // the run ends on its own; otherwise the run alone holds the service
      EXPECT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
      EXPECT_FALSE(service->snapshot().configured);
      const auto entries = h.logger->entries();
      const auto fault = std::ranges::find_if(entries, [](const auto& entry) {
        return entry.function == "getAdsConfig()" && entry.flag == LogFlag::error;
      });
      ASSERT_NE(fault, entries.end());
      EXPECT_NE(fault->message.find(c.thrown), std::string::npos) << fault->message;
    }
    service.reset();
    EXPECT_TRUE(h.env->runUntil([&] { return weak.expired(); }))
        << "the run ended with the stream and let go of the service";
    EXPECT_EQ(h.gma->startCallCount(), 0U);
  }
}

TEST_F(AdsServiceStartUpTests, RepeatedRunsLeaveNothingBehind) {
  // No placements: each run goes through consent, configuration and the final step, and builds
  // nothing, so what could pile up is the run's own leftovers.
  h.configProvider->publish(AdsConfig({{AdSource::adMob, std::nullopt}}, {}, {}, {}));
  auto service = h.makeService(h.consentService);
  std::size_t ended = 0;
  auto subscription = service->appLaunchIsLoadingAdStream()->subscribe([&](bool) { ++ended; });
  constexpr std::size_t kRuns = 10000;
  for (std::size_t run = 1; run <= kRuns; ++run) {
    service->checkConsentAndLoadAds(false);
    ASSERT_TRUE(h.env->runUntil([&] { return ended == run; })) << "run " << run;
    if (run == 1 || run == kRuns) {
      EXPECT_EQ(AdsServiceTestAccess::bagSize(*service), 0U) << "run " << run;
      EXPECT_EQ(h.configProvider->subscriberCount(), 0U) << "run " << run;
      EXPECT_EQ(h.users->subscriberCount(), 0U) << "run " << run;
    }
  }
  h.env->background().waitUntilIdle();
  EXPECT_EQ(h.env->mainQueue().pendingCount(), 0U);
  EXPECT_EQ(h.gma->startCallCount(), 1U) << "the network started once";
  const std::weak_ptr<AdsService> weak = service;
  service.reset();
  EXPECT_TRUE(weak.expired());
}

TEST_F(AdsServiceStartUpTests, AppLaunchStreamGivesOneInnerStreamPerRun) {
  auto launches = [&] { return std::ranges::count(h.requestedUnits(), std::string("launch")); };
  h.setPremium(true);
  auto service =
      run([&] { return !appLaunchValues.empty(); },
          AdsConfig({{AdSource::adMob, std::nullopt}},
                    {{InterstitialAdPlacement::appLaunch, AdPlacementConfig::adMob({"launch"})}},
                    {}, {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"unused"})}}));
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false})) << "premium: nothing to wait for";
  EXPECT_TRUE(h.ironSource->initCalls().empty());
  EXPECT_TRUE(h.logger->entries().empty()) << "an unlisted IronSource is no fault";

  h.setPremium(false);
  h.drain();
  ASSERT_EQ(launches(), 1);
  service->checkConsentAndLoadAds(true);
  runUntil([&] { return launches() == 2; });
  EXPECT_EQ(service->appLaunchPlacement(),
            AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch));
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false}))
      << "the current state and the first change are dropped";
  h.gma->fill(h.lastRequest("launch"));
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false, false}));
  EXPECT_TRUE(service->shouldShowAppLaunchAd());
}

TEST_F(AdsServiceStartUpTests, ConfigurationFaultsAreReportedAndTheRunGoesOn) {
  auto service =
      run(nullptr,
          AdsConfig({{AdSource::adMob, std::nullopt}, {AdSource::ironSource, std::nullopt}},
                    {{InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({"dis"})}},
                    {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}},
                    {{AppOpenAdPlacement::main, AdPlacementConfig::ironSource({"open"})}}));
  EXPECT_EQ(h.logger->messages(),
            (Strings{"Should provide IronSource key", "Doesn't support appOpen with IronSource"}));
  EXPECT_EQ(h.logger->assertionFailures().size(), 2U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 0U);
  EXPECT_EQ(service->rewardedAd(RewardedAdPlacement::timewall), nullptr) << "no keys, no builder";
}

TEST_F(AdsServiceStartUpTests, CappedIronSourcePlacementGivesNothingAndReloadsReachTheirBuilders) {
  auto service = run();
  h.ironSource->fillInterstitialLoad("ironSourceNetwork");
  h.connection->setStatus(QVVPNManagerStatus::connected);
  h.ironSource->setInterstitialCapped("dis", true);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::disconnect), nullptr);
  h.ironSource->setInterstitialCapped("dis", false);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_NE(service->interstitialAd(InterstitialAdPlacement::disconnect), nullptr);

  h.gma->fill(h.lastRequest("open"));
  h.drain();
  const auto before = h.gma->requests().size();
  service->reload(AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch));  // no builder: nothing
  service->reload(AdsPlacement::appOpen(AppOpenAdPlacement::main));
  h.drain();
  EXPECT_EQ(h.requestedUnits().size(), before + 1);
  EXPECT_EQ(h.requestedUnits().back(), "open");
  service->reloadAds();
  h.drain();
  EXPECT_GT(h.gma->requests().size(), before + 3);
}

// The report names a network's missing bridge only once a configuration names that network, and
// once: a host that bridges one network is not warned of the other, whatever later runs do; and
// the network without a bridge does not keep the service alive.
TEST_F(AdsServiceStartUpTests, TheIntegrationReportNamesOnlyTheBridgesOfConfiguredNetworksOnce) {
  h.env->setService<IronSourceSDK>(nullptr);
  const auto bridgeLines = [this] {
    return std::ranges::count_if(h.logger->entries(), [](const auto& entry) {
      return entry.function == "checkIntegration()" &&
             entry.message.find("IronSource bridge") != std::string::npos;
    });
  };
  auto service = run(nullptr, standardConfig({{AdSource::adMob, std::nullopt}}));
  EXPECT_EQ(bridgeLines(), 0) << "a network the configuration does not name";

  h.configProvider->publish(standardConfig());
  service->checkConsentAndLoadAds(true);
  runUntil([&] { return bridgeLines() > 0; });
  service->checkConsentAndLoadAds(true);
  settle();
  EXPECT_EQ(bridgeLines(), 1);
  EXPECT_NE(service->checkIntegration().find("IronSource bridge"), nullptr);
  // A network that cannot answer its start does not hold the run, nor the service with it: the
  // run still in progress lets the service go at its last step (on the background thread's time).
  const std::weak_ptr<AdsService> weak = service;
  service.reset();
  runUntil([&] { return weak.expired(); });
}

}  // namespace
}  // namespace QVRAdKit
