// The ads service from the host's side: start-up runs with consent, configuration and network
// starts, the builders they make, and ads handed out, presented and reported.

#include <gtest/gtest.h>

#include <optional>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxRateUsService.h"
#include "Services/AdsService/AdsServiceTestSupport.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {
namespace {

// A configuration that the test publishes when it wants; nothing until then.
class TestConfigProvider final : public AdsConfigProvidable, public RxAdsConfigProvidable {
 public:
  void publish(AdsConfig config) { config_.accept(std::move(config)); }
  [[nodiscard]] std::string configurationName() const override { return "test"; }
  [[nodiscard]] const RxAdsConfigProvidable& rx() const override { return *this; }
  [[nodiscard]] Rx::Observable<AdsConfig> adsConfig() const override {
    return config_.asObservable().unwrap();
  }

 private:
  Rx::BehaviorRelay<std::optional<AdsConfig>> config_{std::nullopt};
};

// Records what the host's interstitial listener hears.
struct RecordingInterstitialDelegate final : InterstitialAdDelegate {
  std::vector<std::string> calls;
  void interstitialAdDidOpen(InterstitialAd&) override { calls.emplace_back("open"); }
  void interstitialAdWillClose(InterstitialAd&) override { calls.emplace_back("willClose"); }
  void interstitialAdDidClose(InterstitialAd&) override { calls.emplace_back("close"); }
  void interstitialAdDidFail(InterstitialAd&) override { calls.emplace_back("fail"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { calls.emplace_back("failToShow"); }
};

AdsConfig standardConfig() {
  return AdsConfig(
      {{AdSource::adMob, std::nullopt}, {AdSource::ironSource, "is-key"}},
      {{InterstitialAdPlacement::connect, AdPlacementConfig({"c1", "c2"}, AdSource::adMob, 600)},
       {InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({"dis"})}},
      {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"reward"})}},
      {{AppOpenAdPlacement::main, AdPlacementConfig({"open"}, AdSource::adMob, 30)}});
}

class AdsServiceStartUpTests : public ::testing::Test {
 protected:
  AdsServiceStartUpTests() {
    consent->install(*h.env);
    unity->install(*h.env);
    consent->setConsentStatus(UMPConsentStatus::obtained);
    h.gma->setStartsAutomatically(true);
    h.ironSource->setCompletesInitializationAtOnce(true);
  }

  std::shared_ptr<AdsService> makeService() {
    return AdsService::create(configProvider, h.users, connection, rateUs, consentService,
                              h.reporting, storage, nullptr, nullptr);
  }
  // Runs the main queue (and waits for the background phase) until done() holds.
  void runUntil(const std::function<bool()>& done) { ASSERT_TRUE(h.env->runUntil(done)); }
  [[nodiscard]] bool requested(const std::string& unit) const {
    auto units = h.requestedUnits();
    return std::find(units.begin(), units.end(), unit) != units.end();
  }
  // A subscriber of the app-launch loading stream that records every value.
  Rx::Disposable recordAppLaunch(AdsService& service) {
    return service.appLaunchIsLoadingAdStream()->subscribe(
        [this](bool v) { appLaunchValues.push_back(v); });
  }

  Testing::AdsHarness h;
  std::shared_ptr<Sandbox::ScriptedConsentPlatform> consent =
      Sandbox::ScriptedConsentPlatform::create();
  std::shared_ptr<Sandbox::RecordingMetaDataStore> unity =
      std::make_shared<Sandbox::RecordingMetaDataStore>();
  std::shared_ptr<TestConfigProvider> configProvider = std::make_shared<TestConfigProvider>();
  std::shared_ptr<Sandbox::SandboxConnectionService> connection =
      std::make_shared<Sandbox::SandboxConnectionService>();
  std::shared_ptr<Sandbox::SandboxRateUsService> rateUs =
      std::make_shared<Sandbox::SandboxRateUsService>();
  std::shared_ptr<QVRAdsConsentServiceImpl> consentService = QVRAdsConsentServiceImpl::create();
  std::shared_ptr<testing_support::InMemoryStorage> storage =
      std::make_shared<testing_support::InMemoryStorage>();
  std::vector<bool> appLaunchValues;
};

TEST_F(AdsServiceStartUpTests, ConnectInterstitialFromRunToViewedEvent) {
  auto service = makeService();
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::connect), nullptr);
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("c1") && requested("c2"); });
  EXPECT_EQ(h.gma->startCallCount(), 1U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  EXPECT_TRUE(requested("reward")) << "the rewarded builder started with the run";
  EXPECT_TRUE(requested("open"));

  h.reporting->clear();
  h.env->manualClock()->advance(2.5);
  const auto shown = h.lastRequest("c1");
  h.gma->fill(shown, "GADMAdapterGoogleAdMobAds");
  connection->setStatus(QVVPNManagerStatus::disconnected);  // raw value 1: about to connect
  ASSERT_EQ(service->interstitialTypeToPresent(), InterstitialType::connect);
  auto ad = service->interstitialAd(InterstitialAdPlacement::connect);
  ASSERT_NE(ad, nullptr);
  auto delegate = std::make_shared<RecordingInterstitialDelegate>();
  ad->setDelegate(delegate);
  ad->present(std::make_shared<Platform::ViewController>());
  h.env->manualClock()->advance(1);
  h.gma->willPresent(shown);
  h.env->manualClock()->advance(7.25);
  h.gma->willDismiss(shown);
  h.gma->dismiss(shown);
  EXPECT_EQ(delegate->calls, (std::vector<std::string>{"open", "willClose", "close"}));

  auto events = h.reporting->events();
  std::vector<std::string> names;
  for (const auto& event : events) names.push_back(event.name);
  // The taken ad's key is requested again at once, between the load and the opening.
  EXPECT_EQ(names,
            (std::vector<std::string>{"ad_loaded", "ad_requested", "ad_opened", "ad_viewed"}));
  const auto& loaded = events[0];
  EXPECT_EQ(std::get<std::string>(*loaded.parameter("action")), "connect");
  EXPECT_EQ(std::get<std::string>(*loaded.parameter("source")), "admob");
  EXPECT_EQ(std::get<std::string>(*loaded.parameter("unit_id")), "c1");
  EXPECT_EQ(std::get<std::int64_t>(*loaded.parameter("duration")), 2500);
  const auto uuid = std::get<std::string>(*loaded.parameter("aaid"));
  EXPECT_NE(std::get<std::string>(*events[1].parameter("aaid")), uuid) << "a fresh ad";
  EXPECT_EQ(std::get<std::string>(*events[2].parameter("aaid")), uuid);
  EXPECT_EQ(std::get<std::string>(*events[3].parameter("aaid")), uuid);
  EXPECT_EQ(std::get<std::int64_t>(*events[3].parameter("duration")), 7250);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none) << "600 s interval";
}

TEST_F(AdsServiceStartUpTests, RequiredConsentEndsTheRunWithAFormAndTheNextRunLoads) {
  consent->setConsentStatus(UMPConsentStatus::required);
  consent->setFormStatus(UMPFormStatus::available);
  auto service = makeService();
  auto subscription = recordAppLaunch(*service);
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  h.drain();
  ASSERT_TRUE(consent->answerUpdate());
  h.drain();
  auto form = consent->answerFormLoad();
  ASSERT_NE(form, nullptr);
  h.drain();
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false})) << "the run ended without ads";
  EXPECT_NE(consentService->gdprConsentForm(), nullptr);
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.gma->startCallCount(), 0U);

  consentService->gdprConsentForm()->presentFromViewController(
      std::make_shared<Platform::ViewController>(), [](const std::optional<Platform::Error>&) {});
  consent->setConsentStatus(UMPConsentStatus::obtained);
  form->answerPresentation();
  service->checkConsentAndLoadAds(true);
  runUntil([&] { return requested("c1"); });
  EXPECT_EQ(unity->value("gdpr.consent").has_value(), true) << "mediators told after consent";
}

TEST_F(AdsServiceStartUpTests, ObtainedConsentGoesOnWhileTheUpdateFails) {
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("c1"); });
  EXPECT_TRUE(consent->answerUpdate(Platform::Error{"UMP", 1, "offline"}));
  h.drain();
  EXPECT_TRUE(h.logger->assertionFailures().empty());
}

TEST_F(AdsServiceStartUpTests, ConsentErrorEndsTheRunSilentlyWithTheLogText) {
  consent->setConsentStatus(UMPConsentStatus::unknown);
  auto service = makeService();
  auto subscription = recordAppLaunch(*service);
  service->checkConsentAndLoadAds(true);
  h.drain();
  ASSERT_TRUE(consent->answerUpdate(Platform::Error{"UMP", 2, "offline"}));
  h.drain();
  EXPECT_TRUE(appLaunchValues.empty()) << "the run ended without marking itself loaded";
  auto entries = h.logger->entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back().message, "ADs configurations error: offline");
  EXPECT_EQ(entries.back().flag, LogFlag::debug);
  EXPECT_EQ(entries.back().function, "checkConsentAndLoadAds(shouldLoadGDPR:)");
  EXPECT_EQ(entries.back().file, "QVRAdKit/Services/AdsService/AdsService");
}

TEST_F(AdsServiceStartUpTests, UnresolvedConsentWithoutGDPRLoadReadsNoConfiguration) {
  consent->setConsentStatus(UMPConsentStatus::required);
  auto service = makeService();
  auto subscription = recordAppLaunch(*service);
  EXPECT_TRUE(appLaunchValues.empty()) << "nothing before a run";
  service->checkConsentAndLoadAds(false);
  configProvider->publish(standardConfig());
  h.drain();
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false}));
  EXPECT_EQ(consent->updateRequestCount(), 0U);
  EXPECT_EQ(service->appLaunchPlacement(), std::nullopt) << "no configuration was stored";
}

TEST_F(AdsServiceStartUpTests, PremiumSwitchMidFlowDropsAdsAndWithholdsEverything) {
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("c1"); });
  h.gma->fill(h.lastRequest("c1"));
  h.setPremium(true);
  connection->setStatus(QVVPNManagerStatus::disconnected);
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
  auto service = makeService();
  service->loadAds();  // before any run: builders start as soon as they exist
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("c1"); });
  const auto firstRequests = h.gma->requests().size();
  h.gma->fill(h.lastRequest("c1"));

  service->checkConsentAndLoadAds(true);
  runUntil([&] { return h.gma->requests().size() > firstRequests + 2; });
  EXPECT_EQ(h.gma->startCallCount(), 1U);
  EXPECT_EQ(h.ironSource->initCalls().size(), 1U);
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::connect), nullptr)
      << "the first run's loaded ad went with its builder";
}

TEST_F(AdsServiceStartUpTests, NetworkStartThatNeverCompletesHoldsTheRun) {
  h.gma->setStartsAutomatically(false);
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return h.gma->pendingStartCount() == 1; });
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.ironSource->initCalls().size(), 0U) << "networks start one after another";
  h.gma->completeStart();
  runUntil([&] { return requested("c1"); });
}

TEST_F(AdsServiceStartUpTests, ServiceDroppedDuringARunLeavesNothingAlive) {
  auto service = makeService();
  std::weak_ptr<AdsService> weak = service;
  service->checkConsentAndLoadAds(true);
  runUntil([&] { return consent->updateRequestCount() == 1; });
  h.env->background().waitUntilIdle();
  h.drain();
  service.reset();
  EXPECT_TRUE(weak.expired()) << "a wait for the configuration does not hold the service";
  configProvider->publish(standardConfig());
  h.env->background().waitUntilIdle();
  h.drain();
  EXPECT_TRUE(h.gma->requests().empty());
  EXPECT_EQ(h.gma->startCallCount(), 0U);
}

TEST_F(AdsServiceStartUpTests, AppLaunchStreamGivesFalseWhenTheFirstLoadEnds) {
  auto config =
      AdsConfig({{AdSource::adMob, std::nullopt}},
                {{InterstitialAdPlacement::appLaunch, AdPlacementConfig::adMob({"launch"})}}, {},
                {{AppOpenAdPlacement::appLaunch, AdPlacementConfig::adMob({"unused"})}});
  auto service = makeService();
  auto subscription = recordAppLaunch(*service);
  service->checkConsentAndLoadAds(true);
  configProvider->publish(config);
  runUntil([&] { return requested("launch"); });
  EXPECT_EQ(service->appLaunchPlacement(),
            AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch));
  EXPECT_TRUE(appLaunchValues.empty()) << "the current state and the first change are dropped";
  h.gma->fill(h.lastRequest("launch"));
  EXPECT_EQ(appLaunchValues, (std::vector<bool>{false}));
  EXPECT_TRUE(service->shouldShowAppLaunchAd());
}

TEST_F(AdsServiceStartUpTests, ConfigurationFaultsAreReportedAndTheRunGoesOn) {
  auto config =
      AdsConfig({{AdSource::adMob, std::nullopt}, {AdSource::ironSource, std::nullopt}},
                {{InterstitialAdPlacement::disconnect, AdPlacementConfig::ironSource({"dis"})}},
                {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({})}},
                {{AppOpenAdPlacement::main, AdPlacementConfig::ironSource({"open"})}});
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(config);
  runUntil([&] { return requested("open"); });
  std::vector<std::string> failures;
  for (const auto& entry : h.logger->assertionFailures()) failures.push_back(entry.message);
  EXPECT_EQ(failures, (std::vector<std::string>{"Should provide IronSource key",
                                                "Doesn't support appOpen with IronSource"}));
  EXPECT_EQ(h.ironSource->initCalls().size(), 0U);
  EXPECT_EQ(service->rewardedAd(RewardedAdPlacement::timewall), nullptr) << "no keys, no builder";
}

TEST_F(AdsServiceStartUpTests, CappedIronSourcePlacementGivesNothing) {
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("c1"); });
  h.ironSource->fillInterstitialLoad("ironSourceNetwork");
  connection->setStatus(QVVPNManagerStatus::connected);
  h.ironSource->setInterstitialCapped("dis", true);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::none);
  EXPECT_EQ(service->interstitialAd(InterstitialAdPlacement::disconnect), nullptr);
  h.ironSource->setInterstitialCapped("dis", false);
  EXPECT_EQ(service->interstitialTypeToPresent(), InterstitialType::disconnect);
  EXPECT_NE(service->interstitialAd(InterstitialAdPlacement::disconnect), nullptr);
}

TEST_F(AdsServiceStartUpTests, ReloadsReachTheRightBuilders) {
  auto service = makeService();
  service->checkConsentAndLoadAds(true);
  configProvider->publish(standardConfig());
  runUntil([&] { return requested("open"); });
  h.gma->fill(h.lastRequest("open"));
  service->reload(AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch));  // no builder: nothing
  h.drain();
  const auto before = h.gma->requests().size();
  service->reload(AdsPlacement::appOpen(AppOpenAdPlacement::main));
  h.drain();
  EXPECT_EQ(h.gma->requests().size(), before + 1);
  service->reloadAds();
  h.drain();
  EXPECT_GT(h.gma->requests().size(), before + 3);
}

}  // namespace
}  // namespace QVRAdKit
