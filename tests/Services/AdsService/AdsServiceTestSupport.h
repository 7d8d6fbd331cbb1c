#pragma once
// Fakes of the host services the ads service asks, an in-memory Storage, a test environment with a
// manual clock and a recording logger, and AdsServiceTestAccess, which sets the fields that the
// start-up run would otherwise fill (the configuration and the started IronSource bridge).
// Threading: the test's thread plays the main queue.

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/FreeUseServiceProtocol.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/RateUsServiceProtocol.h"
#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsConfigProvidable.h"
#include "QVRAdKit/Services/AdsService/AdsPauseConfigProvidable.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "QVRAdKit/Services/AdsService/InterstitialCappingChecker.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {

class AdsServiceTestAccess {
 public:
  static void setConfig(AdsService& service, std::optional<AdsConfig> config) {
    service.config_ = std::move(config);
  }
  static void setIronSource(AdsService& service,
                            std::shared_ptr<InterstitialCappingChecker> ironSource) {
    service.ironSource_ = std::move(ironSource);
  }
};

namespace testing_support {

struct FakeUserService final : UserServiceProtocol {
  bool premium = false;
  mutable int premiumReads = 0;

  QVUserPtr currentUser() const override { return nullptr; }
  bool isPremium() const override {
    ++premiumReads;
    return premium;
  }
  Rx::Observable<QVUserPtr> userStream() const override {
    return Rx::Observable<QVUserPtr>::never();
  }
};

struct FakeConnectionService final : ConnectionServiceProtocol {
  QVVPNManagerStatus status = QVVPNManagerStatus::invalid;
  mutable int statusReads = 0;

  QVVPNManagerStatus vpnStatus() const override {
    ++statusReads;
    return status;
  }
  Rx::Observable<ConnectionStatus> connectionStatusStream() const override {
    return Rx::Observable<ConnectionStatus>::never();
  }
};

struct FakeFreeUseService final : FreeUseServiceProtocol {
  bool active = false;
  mutable int reads = 0;

  bool isFreeUseActive() const override {
    ++reads;
    return active;
  }
};

// Answers as told and records every question, in order, as "check(connect)", "flag",
// "block(disconnect)" and so on.
struct FakeRateUsService final : RateUsServiceProtocol {
  bool check = false;
  bool flag = true;
  bool block = false;
  mutable std::vector<std::string> calls;

  static std::string name(RateUsMoment moment) {
    return moment == RateUsMoment::connect ? "connect" : "disconnect";
  }
  bool rateUsMomentCheck(RateUsMoment moment) const override {
    calls.push_back("check(" + name(moment) + ")");
    return check;
  }
  bool rateUsPromptFlag() const override {
    calls.push_back("flag");
    return flag;
  }
  bool rateUsMomentBlock(RateUsMoment moment) const override {
    calls.push_back("block(" + name(moment) + ")");
    return block;
  }
};

// The decisions never read the configuration stream; a run (later) would take its first value.
struct FakeConfigProvider final : AdsConfigProvidable, RxAdsConfigProvidable {
  std::string configurationName() const override { return "ads"; }
  const RxAdsConfigProvidable& rx() const override { return *this; }
  Rx::Observable<AdsConfig> adsConfig() const override {
    return Rx::Observable<AdsConfig>::never();
  }
};

struct FakeReporting final : QVReporting {
  void track(const ReportingObject&) override {}
};

struct FakePauseConfigProvider final : AdsPauseConfigProvidable {
  std::optional<AdsPauseConfig> config;
  std::optional<AdsPauseConfig> pauseConfig() const override { return config; }
};

struct FakeCappingChecker final : InterstitialCappingChecker {
  bool capped = false;
  std::vector<std::vector<std::string>> asked;

  bool isInterstitialCappedFor(const std::vector<std::string>& placementNames) override {
    asked.push_back(placementNames);
    return capped;
  }
};

// Storage in memory, with switches for the trouble a real store can have.
class InMemoryStorage final : public Storage {
 public:
  std::optional<StorableValue> value(std::string_view key) const override {
    ++reads;
    if (throwOnRead) throw std::runtime_error("disk unreadable");
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
  std::optional<Platform::Error> setValue(const std::optional<StorableValue>& value,
                                          std::string_view key) override {
    if (throwOnWrite) throw std::runtime_error("disk on fire");
    if (failWrites) return Platform::Error{"test.storage", 13, "disk full"};
    if (value) {
      values.insert_or_assign(std::string(key), *value);
    } else {
      values.erase(std::string(key));
    }
    return std::nullopt;
  }

  std::optional<Platform::Date> pausedTill() const {
    return read<Platform::Date>(AdsService::kAdsPausedTillDateKey);
  }

  std::map<std::string, StorableValue, std::less<>> values;
  mutable int reads = 0;
  bool throwOnRead = false;
  bool throwOnWrite = false;
  bool failWrites = false;
};

// A test environment on a manual clock with a recording logger, installed for the lifetime of the
// object, and one fake of every host service.
struct AdsServiceHarness {
  AdsServiceHarness() { environment->setService<QVLogger>(logger); }

  std::shared_ptr<AdsService> makeService(std::shared_ptr<Storage> storageOverride = nullptr) {
    return AdsService::create(configProvider, user, connection, rateUs,
                              /*adsConsentService=*/nullptr, reporting,
                              storageOverride ? std::move(storageOverride) : storage, freeUse,
                              pauseProvider);
  }

  Platform::ManualClock& clock() const { return *environment->manualClock(); }
  Platform::Date now() const { return clock().now(); }

  std::unique_ptr<Platform::Environment> environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*environment};
  std::shared_ptr<Sandbox::RecordingLogger> logger = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<FakeConfigProvider> configProvider = std::make_shared<FakeConfigProvider>();
  std::shared_ptr<FakeUserService> user = std::make_shared<FakeUserService>();
  std::shared_ptr<FakeConnectionService> connection = std::make_shared<FakeConnectionService>();
  std::shared_ptr<FakeRateUsService> rateUs = std::make_shared<FakeRateUsService>();
  std::shared_ptr<FakeReporting> reporting = std::make_shared<FakeReporting>();
  std::shared_ptr<InMemoryStorage> storage = std::make_shared<InMemoryStorage>();
  std::shared_ptr<FakeFreeUseService> freeUse = std::make_shared<FakeFreeUseService>();
  std::shared_ptr<FakePauseConfigProvider> pauseProvider =
      std::make_shared<FakePauseConfigProvider>();
};

}  // namespace testing_support
}  // namespace QVRAdKit
