#pragma once
// The ads service's test bench: the shared ads harness (scripted networks, drivable user, recorded
// analytics and logs, manual clock) plus every other host service the service asks, among them an
// in-memory storage that can fail. AdsServiceTestAccess sets the fields that a start-up run would
// otherwise fill (the configuration and the started IronSource bridge).
// Threading: the test's thread plays the main queue.

#include <map>
#include <stdexcept>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "QVRAdKit/UI/ImageLoader.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxFreeUseService.h"
#include "Sandbox/HostServices/SandboxRateUsService.h"
#include "Sandbox/Images/ScriptedImageLoader.h"
#include "Support/AdsHarness.h"

namespace QVRAdKit {

class AdsServiceTestAccess {
 public:
  static void setConfig(AdsService& service, std::optional<AdsConfig> config) {
    service.config_ = std::move(config);
  }
  static void setIronSource(AdsService& service, std::shared_ptr<InterstitialCappingChecker> is) {
    service.ironSource_ = std::move(is);
  }
  // How many subscriptions the service's own bag holds.
  static std::size_t bagSize(const AdsService& service) { return service.bag_.size(); }
};

namespace testing_support {

inline const std::vector<AdsPlacement> kAllPlacements = {
    AdsPlacement::interstitial(InterstitialAdPlacement::connect),
    AdsPlacement::interstitial(InterstitialAdPlacement::disconnect),
    AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch),
    AdsPlacement::rewarded(RewardedAdPlacement::timewall),
    AdsPlacement::appOpen(AppOpenAdPlacement::main),
    AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch),
};

// A configuration that the test publishes when it wants; nothing until then.
class TestConfigProvider final : public AdsConfigProvidable, public RxAdsConfigProvidable {
 public:
  void publish(AdsConfig config) { config_.accept(std::move(config)); }
  // How many subscriptions to the configuration stream are live.
  [[nodiscard]] std::size_t subscriberCount() const { return config_.subscriberCount(); }
  [[nodiscard]] std::string configurationName() const override { return "test"; }
  [[nodiscard]] const RxAdsConfigProvidable& rx() const override { return *this; }
  [[nodiscard]] Rx::Observable<AdsConfig> adsConfig() const override {
    return config_.asObservable().unwrap();
  }

 private:
  Rx::BehaviorRelay<std::optional<AdsConfig>> config_{std::nullopt};
};

struct FakePauseConfigProvider final : AdsPauseConfigProvidable {
  std::optional<AdsPauseConfig> config;
  std::optional<AdsPauseConfig> pauseConfig() const override { return config; }
};

struct FakeCappingChecker final : InterstitialCappingChecker {
  bool capped = true;
  std::vector<std::vector<std::string>> asked;
  bool isInterstitialCappedFor(const std::vector<std::string>& placementNames) override {
    asked.push_back(placementNames);
    return capped;
  }
};

// Storage in memory that counts its reads, with switches for the trouble a real store can have
// (`forget` makes reads answer none).
struct InMemoryStorage final : Storage {
  std::optional<StorableValue> value(std::string_view key) const override {
    ++reads;
    if (throwOnRead) throw std::runtime_error("disk unreadable");
    if (forget) return std::nullopt;
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  std::optional<Platform::Error> setValue(const std::optional<StorableValue>& value,
                                          std::string_view key) override {
    if (throwOnWrite) throw std::runtime_error("disk on fire");
    if (failWrites) return Platform::Error{"test.storage", 13, "disk full"};
    if (value) values.insert_or_assign(std::string(key), *value);
    if (!value) values.erase(std::string(key));
    return std::nullopt;
  }
  std::optional<Platform::Date> pausedTill() const {
    return read<Platform::Date>(AdsService::kAdsPausedTillDateKey);
  }

  std::map<std::string, StorableValue, std::less<>> values;
  mutable int reads = 0;
  bool throwOnRead = false, throwOnWrite = false, failWrites = false, forget = false;
};

struct AdsServiceHarness : Testing::AdsHarness {
  // The banner's pieces too, so that the start-up run's integration report stays empty unless a
  // test takes a piece away.
  explicit AdsServiceHarness(bool installed = true) : Testing::AdsHarness(installed) {
    env->setService<UCRSink>(reporting);
    env->setService<UI::ImageLoader>(Sandbox::ScriptedImageLoader::create());
  }

  // A service of this harness's pieces; consent, store and userService stand in for its own when
  // given.
  std::shared_ptr<AdsService> makeService(
      std::shared_ptr<AdsConsentService> consent = nullptr,
      std::shared_ptr<Storage> store = nullptr,
      std::shared_ptr<UserServiceProtocol> userService = nullptr) {
    AdsService::Dependencies dependencies;
    dependencies.environment = env.get();
    dependencies.configProvider = configProvider;
    dependencies.userService = userService ? std::move(userService) : users;
    dependencies.connectionService = connection;
    dependencies.rateUsService = rateUs;
    dependencies.adsConsentService = std::move(consent);
    dependencies.reporting = reporting;
    dependencies.storage = store ? std::move(store) : storage;
    dependencies.freeUseService = freeUse;
    dependencies.adsPauseConfigProvider = pauses;
    return AdsService::create(std::move(dependencies));
  }
  Platform::ManualClock& clock() const { return *env->manualClock(); }

  std::shared_ptr<TestConfigProvider> configProvider = std::make_shared<TestConfigProvider>();
  std::shared_ptr<Sandbox::SandboxConnectionService> connection =
      std::make_shared<Sandbox::SandboxConnectionService>();
  std::shared_ptr<Sandbox::SandboxRateUsService> rateUs =
      std::make_shared<Sandbox::SandboxRateUsService>();
  std::shared_ptr<InMemoryStorage> storage = std::make_shared<InMemoryStorage>();
  std::shared_ptr<Sandbox::SandboxFreeUseService> freeUse =
      std::make_shared<Sandbox::SandboxFreeUseService>();
  std::shared_ptr<FakePauseConfigProvider> pauses = std::make_shared<FakePauseConfigProvider>();
};

// The harness with a scripted consent platform that has consent, a recorded Unity metadata store, a
// consent service, and networks that start at once: for runs the test drives from start-up.
struct ConsentedAdsHarness : AdsServiceHarness {
  explicit ConsentedAdsHarness(bool installed = true) : AdsServiceHarness(installed) {
    consent->install(*env);
    unity->install(*env);
    consent->setConsentStatus(UMPConsentStatus::obtained);
    gma->setStartsAutomatically(true);
    ironSource->setCompletesInitializationAtOnce(true);
  }

  std::shared_ptr<Sandbox::ScriptedConsentPlatform> consent =
      Sandbox::ScriptedConsentPlatform::create();
  std::shared_ptr<Sandbox::RecordingMetaDataStore> unity =
      std::make_shared<Sandbox::RecordingMetaDataStore>();
  std::shared_ptr<QVRAdsConsentServiceImpl> consentService = QVRAdsConsentServiceImpl::create(*env);
};

}  // namespace testing_support
}  // namespace QVRAdKit
