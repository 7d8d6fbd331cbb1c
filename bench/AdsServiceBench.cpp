// The ads service's two hot decisions over the sandbox's SQLite-backed storage, with a count of
// heap allocations per iteration (the decisions must make none). The store keeps every value in a
// memory cache under its mutex, so each read here is a cache look-up: no SQLite statement runs per
// call.
// Run: qvradkit_bench --benchmark_filter=AdsService --benchmark_repetitions=5
//        --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "AllocationCounter.h"
#include "QVRAdKit/Ads/InterstitialCappingChecker.h"
#include "QVRAdKit/Config/AdsConfigProvidable.h"
#include "QVRAdKit/Config/AdsPauseConfigProvidable.h"
#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/FreeUseServiceProtocol.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/RateUsServiceProtocol.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteStorage.h"

namespace QVRAdKit {

// Sets the configuration that a start-up run would otherwise fetch.
class AdsServiceTestAccess {
 public:
  static void setConfig(AdsService& service, AdsConfig config) {
    service.config_ = std::move(config);
  }
  static void setIronSource(AdsService& service,
                            std::shared_ptr<InterstitialCappingChecker> ironSource) {
    service.ironSource_ = std::move(ironSource);
  }
};

namespace {

struct User final : UserServiceProtocol {
  QVUserPtr currentUser() const override { return nullptr; }
  bool isPremium() const override { return false; }
  Rx::Observable<QVUserPtr> userStream() const override {
    return Rx::Observable<QVUserPtr>::never();
  }
};

struct Connection final : ConnectionServiceProtocol {
  QVVPNManagerStatus vpnStatus() const override { return QVVPNManagerStatus::disconnected; }
  Rx::Observable<ConnectionStatus> connectionStatusStream() const override {
    return Rx::Observable<ConnectionStatus>::never();
  }
};

struct FreeUse final : FreeUseServiceProtocol {
  bool isFreeUseActive() const override { return false; }
};

// A rate-us moment whose prompt flag is up: every rate-us question is asked.
struct RateUs final : RateUsServiceProtocol {
  bool rateUsMomentCheck(RateUsMoment) const override { return true; }
  bool rateUsPromptFlag() const override { return true; }
  bool rateUsMomentBlock(RateUsMoment) const override { return false; }
};

struct ConfigProvider final : AdsConfigProvidable, RxAdsConfigProvidable {
  std::string configurationName() const override { return "ads"; }
  const RxAdsConfigProvidable& rx() const override { return *this; }
  Rx::Observable<AdsConfig> adsConfig() const override {
    return Rx::Observable<AdsConfig>::never();
  }
};

struct Reporting final : QVReporting {
  void track(const ReportingObject&) override {}
};

// Switches for other placements only, so that the lookup runs and finds nothing for connect.
struct PauseProvider final : AdsPauseConfigProvidable {
  AdsPauseConfig config{
      {{AdsPlacement::interstitial(InterstitialAdPlacement::disconnect), [] { return false; }},
       {AdsPlacement::appOpen(AppOpenAdPlacement::main), [] { return false; }}}};
  std::optional<AdsPauseConfig> pauseConfig() const override { return config; }
};

struct NeverCapped final : InterstitialCappingChecker {
  bool isInterstitialCappedFor(const std::vector<std::string>&) override { return false; }
};

// A configured service over a fresh SQLite file holding a pause that has ended, with the connect
// placement served by IronSource (so capping is asked) and a zero interval (so every
// interstitialTypeToPresent call runs to its grant).
class Setup {
 public:
  Setup()
      : directory_(std::filesystem::temp_directory_path() /
                   ("qvr-ads-bench-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(directory_);
    auto store = Sandbox::SQLiteKeyValueStore::open((directory_ / "host.sqlite").string());
    if (!store) std::abort();
    service_ = AdsService::create(std::make_shared<ConfigProvider>(), std::make_shared<User>(),
                                  std::make_shared<Connection>(), std::make_shared<RateUs>(),
                                  nullptr, std::make_shared<Reporting>(),
                                  std::make_shared<Sandbox::SQLiteStorage>(*store),
                                  std::make_shared<FreeUse>(), std::make_shared<PauseProvider>());
    AdsServiceTestAccess::setConfig(
        *service_,
        AdsConfig({{AdSource::adMob, std::nullopt}, {AdSource::ironSource, "app-key"}},
                  {{InterstitialAdPlacement::connect,
                    AdPlacementConfig({"is-connect-1", "is-connect-2"}, AdSource::ironSource, 0)},
                   {InterstitialAdPlacement::disconnect,
                    AdPlacementConfig({"disconnect-1"}, AdSource::adMob, 0)}},
                  {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"timewall-1"})}},
                  {{AppOpenAdPlacement::main, AdPlacementConfig::adMob({"main-1"})}}));
    AdsServiceTestAccess::setIronSource(*service_, std::make_shared<NeverCapped>());
    service_->pauseAds(-60);
  }
  ~Setup() {
    service_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  AdsService& service() { return *service_; }

 private:
  std::unique_ptr<Platform::Environment> environment_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*environment_};
  std::filesystem::path directory_;
  std::shared_ptr<AdsService> service_;
};

// Making the setup allocates: if the count did not move, the counter is not in place.
bool countsAllocations(std::uint64_t before) {
  return bench::allocationCount() > before;
}

void BM_AdsService_shouldShowAd(benchmark::State& state) {
  const std::uint64_t beforeSetup = bench::allocationCount();
  Setup setup;
  if (!countsAllocations(beforeSetup)) state.SkipWithError("allocations are not counted");
  const auto placement = AdsPlacement::interstitial(InterstitialAdPlacement::connect);
  if (!setup.service().shouldShowAd(placement)) state.SkipWithError("expected true");
  const bench::AllocationScope allocations(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(setup.service().shouldShowAd(placement));
  }
}
BENCHMARK(BM_AdsService_shouldShowAd);

void BM_AdsService_interstitialTypeToPresent(benchmark::State& state) {
  const std::uint64_t beforeSetup = bench::allocationCount();
  Setup setup;
  if (!countsAllocations(beforeSetup)) state.SkipWithError("allocations are not counted");
  if (setup.service().interstitialTypeToPresent() != InterstitialType::connect) {
    state.SkipWithError("expected connect");
  }
  const bench::AllocationScope allocations(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(setup.service().interstitialTypeToPresent());
  }
}
BENCHMARK(BM_AdsService_interstitialTypeToPresent);

}  // namespace
}  // namespace QVRAdKit
