#pragma once
// AdsService is the module's front door for the host. The host builds one with its services and
// asks it, at fixed moments of its own flow, whether an ad may be shown at a placement
// (shouldShowAd), which interstitial to present after a connection change
// (interstitialTypeToPresent, which records the grant), and which placement serves the
// application-start ad; it also pauses every ad for a while, persistently (pauseAds).
// The decisions read the configuration of the last start-up run, the host's services, the pause
// date kept in the host's storage and the host's pause switches. They never throw: a host service
// that throws, storage trouble and bad input are logged and answered with "no ad" (false, none).
// Threading: main queue; every public operation checks it (QVR_CHECK_MAIN_QUEUE). The decisions
// are synchronous, take no locks and, on their usual paths, allocate nothing.
// The code lives in three files: the decisions (AdsService.cpp), the start-up run
// (AdsServiceStartUp.cpp) and the builders with the hand-out of ads (AdsServiceAdHandOut.cpp).
//
// Everything the service and what it builds (builders, ads, reporters) use of the platform (clock,
// queues, notifications, application and device state, ad-network SDKs) comes from the one
// environment it is created in; two services in two environments share nothing.
//
// Example:
//   AdsService::Dependencies dependencies;
//   dependencies.environment = environment.get();
//   dependencies.configProvider = config;  // ... and the others the host has
//   auto ads = AdsService::create(std::move(dependencies));
//   if (ads->interstitialTypeToPresent() == InterstitialType::connect) { /* present one */ }

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "QVRAdKit/Ads/InterstitialCappingChecker.h"
#include "QVRAdKit/Config/AdPlacementConfig.h"
#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Config/AdsConfigProvidable.h"
#include "QVRAdKit/Config/AdsPauseConfigProvidable.h"
#include "QVRAdKit/Config/AdsPlacement.h"
#include "QVRAdKit/Host/BlockUtilsProtocol.h"
#include "QVRAdKit/Host/ConnectionServiceProtocol.h"
#include "QVRAdKit/Host/CustomSubscriber.h"
#include "QVRAdKit/Host/FreeUseServiceProtocol.h"
#include "QVRAdKit/Host/InterstitialType.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/RateUsServiceProtocol.h"
#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Host/UserServiceProtocol.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/Services/AdsService/AdsServicable.h"
#include "QVRAdKit/Services/AdsService/IntegrationReport.h"
#include "QVRAdKit/Services/AdsService/StartUpProgress.h"

namespace QVRAdKit {

class AdBuildable;
class AdsConsentService;
class AppOpenAdBuilder;
class GADMobileAds;
class InterstitialAdBuilderV2;
class RewardedVideoAdBuilder;
struct AdsServiceSnapshot;
struct IntegrationCheckInput;

class AdsService final : public AdsServicable,
                         public CustomSubscriber,
                         public BlockUtilsProtocol,
                         public std::enable_shared_from_this<AdsService> {
 public:
  // The host storage key of the end of the ads pause, a Platform::Date.
  static constexpr std::string_view kAdsPausedTillDateKey = "AdsService.adsPausedTillDate";

  // What the service uses, by name. freeUseService and adsPauseConfigProvider may be null (no
  // free-use rule, no pause switches); adsConsentService may be null too, and then no start-up run
  // ever loads ads. The others are required.
  struct Dependencies {
    // The environment the service and everything it builds run in; it must outlive them all. When
    // null, the one installed at creation (Platform::Environment::current()) is taken, a
    // convenience for hosts that run a single environment; it aborts when none is installed.
    Platform::Environment* environment = nullptr;
    std::shared_ptr<AdsConfigProvidable> configProvider;
    std::shared_ptr<UserServiceProtocol> userService;
    std::shared_ptr<ConnectionServiceProtocol> connectionService;
    std::shared_ptr<RateUsServiceProtocol> rateUsService;
    std::shared_ptr<AdsConsentService> adsConsentService;
    std::shared_ptr<QVReporting> reporting;
    std::shared_ptr<Storage> storage;
    std::shared_ptr<FreeUseServiceProtocol> freeUseService;
    std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider;
  };

  // Stores its dependencies and nothing else: subscribes to nothing, reads nothing, loads nothing.
  // A missing required one is reported as an assertion failure naming it (decisions that need it
  // then answer "no ad").
  // Example:
  //   AdsService::Dependencies dependencies;
  //   dependencies.configProvider = config;
  //   dependencies.userService = users;  // ... and the others the host has
  //   auto ads = AdsService::create(std::move(dependencies));
  static std::shared_ptr<AdsService> create(Dependencies dependencies);
  // The same, positionally, in the order of Dependencies' fields after environment, in the
  // installed environment; kept for existing callers.
  static std::shared_ptr<AdsService> create(
      std::shared_ptr<AdsConfigProvidable> configProvider,
      std::shared_ptr<UserServiceProtocol> userService,
      std::shared_ptr<ConnectionServiceProtocol> connectionService,
      std::shared_ptr<RateUsServiceProtocol> rateUsService,
      std::shared_ptr<AdsConsentService> adsConsentService, std::shared_ptr<QVReporting> reporting,
      std::shared_ptr<Storage> storage, std::shared_ptr<FreeUseServiceProtocol> freeUseService,
      std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider);

  AdsService(const AdsService&) = delete;
  AdsService& operator=(const AdsService&) = delete;
  ~AdsService() override;

  // The timeout of the app-open placement main, 0 when it is not configured.
  [[nodiscard]] double appOpenAdTimeout() const override;
  // connect or disconnect when the connection status calls for that interstitial and nothing
  // withholds it (premium, network capping, the placement's interval, the rate-us prompt);
  // records the grant, which starts the placement's interval. Otherwise none, recording nothing.
  InterstitialType interstitialTypeToPresent() override;
  // shouldShowAd of appLaunchPlacement(); false when there is none.
  [[nodiscard]] bool shouldShowAppLaunchAd() const override;
  [[nodiscard]] bool shouldShowDisconnectAd() const override;

  // Whether an ad may be shown at the placement now: not for a premium user, not in free use,
  // not for an unconfigured placement, not while the stored pause lasts, not while the host's
  // switch for the placement holds it back, and not without keys.
  [[nodiscard]] bool shouldShowAd(const AdsPlacement& placement) const override;
  // Pauses every ad from now for interval seconds, replacing any earlier pause; the pause
  // survives restarts. Zero or a negative interval lifts a pause at once. NaN changes nothing.
  void pauseAds(Platform::TimeInterval interval) override;
  // interstitial(appLaunch) when configured, else appOpen(appLaunch) when configured, else none.
  [[nodiscard]] std::optional<AdsPlacement> appLaunchPlacement() const override;

  // Start-up and hand-out of ads.
  // Starts one start-up run and returns at once. The run gathers consent on the main queue
  // (shouldLoadGDPR: refresh it, possibly loading a form; otherwise only check that it is
  // resolved), reads the first configuration value and starts the configured networks (each at
  // most once per service) on the background executor, then rebuilds one builder per configured
  // placement, tells the mediation networks the consent answer, starts the builders and marks the
  // run ended. A consent form to show, or unresolved consent, ends the run without ads; a consent
  // error ends it silently, and so does a configuration stream that ends without a value.
  // The run holds the service until it ends, the wait for the first configuration value included:
  // a service the host drops meanwhile still starts the networks, tells the mediators and builds
  // and starts its builders when the value comes, then goes. A stream that never emits therefore
  // keeps the service as long as the environment lives, as a consent answer or a network start
  // that never comes does; the environment's teardown lets such a run go.
  // Once a run has ended, nothing it made holds the service, and it leaves nothing behind in the
  // service (no subscription, no completion): runs can be repeated without growth.
  void checkConsentAndLoadAds(bool shouldLoadGDPR) override;
  // Starts every builder now and every builder built later.
  void loadAds() override;
  // Reloads every builder: interstitials, then rewarded, then app-open.
  void reloadAds() override;
  void reload(const AdsPlacement& placement) override;
  // A ready interstitial when the placement may show one and its network does not cap it.
  std::shared_ptr<InterstitialAd> interstitialAd(InterstitialAdPlacement placement) override;
  // The rewarded builder's ad, ready or not, when the placement may show one.
  std::shared_ptr<RewardedVideoAd> rewardedAd(RewardedAdPlacement placement) override;
  // A fresh app-open ad when the placement may show one.
  std::shared_ptr<AppOpenAd> appOpenAd(AppOpenAdPlacement placement) override;
  // Loading state of the application-start ad: after each ended run, the app-launch builder's
  // loading changes without its current state and first change, or a single false when there is
  // nothing to load. Never none.
  [[nodiscard]] std::optional<Rx::Observable<bool>> appLaunchIsLoadingAdStream() override;

  // A read-only picture of the placements, their keys and ads, consent, pause, grants and runs
  // (AdsServiceSnapshot.h). Changes nothing: no subscription, load, log or event. Main queue.
  [[nodiscard]] AdsServiceSnapshot snapshot() const;

  // What the host forgot or got wrong in wiring this service and its environment
  // (IntegrationCheck.h): checked now, for the sources and placements of the current
  // configuration (all sources before one arrived), and the required host services it was made
  // without. The first start-up run logs it once, one line per entry. Main queue.
  [[nodiscard]] IntegrationReport checkIntegration() const;

 private:
  friend class AdsServiceTestAccess;

  AdsService(Platform::Environment& environment,
             std::shared_ptr<AdsConfigProvidable> configProvider,
             std::shared_ptr<UserServiceProtocol> userService,
             std::shared_ptr<ConnectionServiceProtocol> connectionService,
             std::shared_ptr<RateUsServiceProtocol> rateUsService,
             std::shared_ptr<AdsConsentService> adsConsentService,
             std::shared_ptr<QVReporting> reporting, std::shared_ptr<Storage> storage,
             std::shared_ptr<FreeUseServiceProtocol> freeUseService,
             std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider);

  // The configured placement, or nullptr (no configuration, or not in it).
  [[nodiscard]] const AdPlacementConfig* adPlacementConfig(const AdsPlacement& placement) const;
  // Whether the host's pause switch for the placement holds it back now.
  [[nodiscard]] bool isPausedByConfig(const AdsPlacement& placement) const;
  // Whether the stored pause date lies after now (storage_ must be set). An unreadable or
  // mistyped value is no pause.
  [[nodiscard]] bool isPausedByStoredDate() const;
  void reportUnusablePauseDate(std::string_view reason) const;

  // The decisions without their guard against throwing host services (callers guard).
  [[nodiscard]] bool decideShouldShowAd(const AdsPlacement& placement) const;
  InterstitialType decideInterstitialTypeToPresent();

  // The start-up run, step by step (AdsServiceStartUp.cpp).
  // How to start one network, which the run waits on until done is called.
  struct NetworkStart {
    AdSource source;
    std::function<void(std::function<void()> done)> start;
  };
  void runConsentPhase(bool shouldLoadGDPR);
  void runConfigurationPhase();
  static void getAdsConfig(Platform::Environment& environment, std::shared_ptr<AdsService> self,
                           const std::shared_ptr<AdsConfigProvidable>& provider);
  void didReceiveConfig(const AdsConfig& config);
  void logMissingBridges(const AdsConfig& config);
  // Gives the integration check this service's storage, the host services it lacks and the
  // current configuration (left null before one), sources left as they are.
  void describeWiring(IntegrationCheckInput& input) const;
  std::vector<NetworkStart> initializeAds(const AdsConfig::Sources& sources);
  static void startNetwork(Platform::Environment& environment, std::shared_ptr<AdsService> self,
                           const std::shared_ptr<std::vector<NetworkStart>>& starts,
                           std::size_t index, const std::shared_ptr<const AdsConfig>& config);
  void finishRun(const AdsConfig& config);
  void resetBuilders(const AdsConfig& config);
  void startBuilders();
  // Whether a started builder waits for a user from the user stream.
  [[nodiscard]] bool builderWaitsForUser() const;
  [[nodiscard]] std::shared_ptr<AdBuildable> builder(const AdsPlacement& placement) const;

  // Where the service runs; it outlives the service.
  Platform::Environment& environment_;
  std::map<InterstitialAdPlacement, std::shared_ptr<InterstitialAdBuilderV2>>
      interstitialAdBuilders_;
  std::map<RewardedAdPlacement, std::shared_ptr<RewardedVideoAdBuilder>> rewardedAdBuilders_;
  std::map<AppOpenAdPlacement, std::shared_ptr<AppOpenAdBuilder>> appOpenAdBuilders_;
  std::shared_ptr<AdsConfigProvidable> configProvider_;
  std::shared_ptr<UserServiceProtocol> userService_;
  std::shared_ptr<ConnectionServiceProtocol> connectionService_;
  std::shared_ptr<FreeUseServiceProtocol> freeUseService_;
  std::shared_ptr<RateUsServiceProtocol> rateUsService_;
  std::shared_ptr<AdsConsentService> adsConsentService_;
  std::shared_ptr<QVReporting> reporting_;
  std::shared_ptr<Storage> storage_;
  std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider_;
  // When interstitialTypeToPresent last granted each interstitial placement, indexed by the
  // placement: a map over a closed enumeration, kept as an array so that recording a grant never
  // allocates. In memory only.
  std::array<std::optional<Platform::Date>, kInterstitialAdPlacementCount> adRequestDates_;
  std::optional<AdsConfig> config_;
  bool integrationLogged_ = false;
  // The ad sources whose bridges the log has been told about (see didReceiveConfig).
  std::set<AdSource> bridgesLogged_;
  bool shouldStart_ = false;
  std::shared_ptr<GADMobileAds> adMob_;
  std::shared_ptr<InterstitialCappingChecker> ironSource_;
  Rx::BehaviorRelay<bool> isLoadedRelay_{false};
  // The service's own subscriptions. A start-up run keeps none here: its configuration wait owns
  // its subscription and ends it when the run goes on, so repeated runs leave nothing behind.
  Rx::DisposeBag bag_;
  // Start-up runs started and not ended yet. Main queue only.
  int runsInProgress_ = 0;
  // Where the latest run waits and how the last one ended, for the snapshot and the integration
  // check only.
  StartUpProgress startUpProgress_;

  // Set once an unusable stored pause date has been logged, so that it is logged once per service
  // and not at every decision. Main queue only, like the decisions that set it.
  mutable bool reportedUnusablePauseDate_ = false;
};

}  // namespace QVRAdKit
