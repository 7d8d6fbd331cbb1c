#include "QVRAdKit/Services/AdsService/AdsService.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <utility>
#include <variant>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "QVRAdKit/Consent/AdsConsentService.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/QVVPNManagerStatus.h"
#include "QVRAdKit/Host/RateUsMoment.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"

namespace QVRAdKit {

namespace {

constexpr std::string_view kInit =
    "init(configProvider:userService:connectionService:rateUsService:adsConsentService:reporting:"
    "storage:freeUseService:adsPauseConfigProvider:)";
constexpr std::string_view kShouldShowAd = "shouldShowAd(for:)";
constexpr std::string_view kPauseAds = "pauseAds(for:)";

// The VPN status raw values that call for an interstitial.
constexpr std::int64_t kStatusBeforeConnect = 1;
constexpr std::int64_t kStatusBeforeDisconnect = 3;

Platform::Date now() {
  return Platform::Environment::current().clock().now();
}

constexpr std::size_t index(InterstitialAdPlacement placement) {
  return static_cast<std::size_t>(placement);
}

template <class Map, class Key>
const AdPlacementConfig* entry(const Map& map, Key key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &found->second;
}

// The text of an exception a host service let escape.
std::string describe(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(std::move(thrown));
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an exception of unknown type";
  }
}

}  // namespace

std::shared_ptr<AdsService> AdsService::create(
    std::shared_ptr<AdsConfigProvidable> configProvider,
    std::shared_ptr<UserServiceProtocol> userService,
    std::shared_ptr<ConnectionServiceProtocol> connectionService,
    std::shared_ptr<RateUsServiceProtocol> rateUsService,
    std::shared_ptr<AdsConsentService> adsConsentService, std::shared_ptr<QVReporting> reporting,
    std::shared_ptr<Storage> storage, std::shared_ptr<FreeUseServiceProtocol> freeUseService,
    std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider) {
  const std::pair<bool, std::string_view> required[] = {
      {configProvider == nullptr, "AdsService needs a configProvider"},
      {userService == nullptr, "AdsService needs a userService"},
      {connectionService == nullptr, "AdsService needs a connectionService"},
      {rateUsService == nullptr, "AdsService needs a rateUsService"},
      {reporting == nullptr, "AdsService needs a reporting"},
      {storage == nullptr, "AdsService needs a storage"},
  };
  for (const auto& [missing, message] : required) {
    if (missing) QVLogAssertionFailure(message, QVR_FILE_TEXT, kInit, __LINE__);
  }
  return std::shared_ptr<AdsService>(new AdsService(
      std::move(configProvider), std::move(userService), std::move(connectionService),
      std::move(rateUsService), std::move(adsConsentService), std::move(reporting),
      std::move(storage), std::move(freeUseService), std::move(adsPauseConfigProvider)));
}

AdsService::AdsService(std::shared_ptr<AdsConfigProvidable> configProvider,
                       std::shared_ptr<UserServiceProtocol> userService,
                       std::shared_ptr<ConnectionServiceProtocol> connectionService,
                       std::shared_ptr<RateUsServiceProtocol> rateUsService,
                       std::shared_ptr<AdsConsentService> adsConsentService,
                       std::shared_ptr<QVReporting> reporting, std::shared_ptr<Storage> storage,
                       std::shared_ptr<FreeUseServiceProtocol> freeUseService,
                       std::shared_ptr<AdsPauseConfigProvidable> adsPauseConfigProvider)
    : configProvider_(std::move(configProvider)),
      userService_(std::move(userService)),
      connectionService_(std::move(connectionService)),
      freeUseService_(std::move(freeUseService)),
      rateUsService_(std::move(rateUsService)),
      adsConsentService_(std::move(adsConsentService)),
      reporting_(std::move(reporting)),
      storage_(std::move(storage)),
      adsPauseConfigProvider_(std::move(adsPauseConfigProvider)) {}

AdsService::~AdsService() = default;

const AdPlacementConfig* AdsService::adPlacementConfig(const AdsPlacement& placement) const {
  if (!config_) return nullptr;
  struct Find {
    const AdsConfig& config;
    const AdPlacementConfig* operator()(InterstitialAdPlacement key) const {
      return entry(config.interstitialPlacements(), key);
    }
    const AdPlacementConfig* operator()(RewardedAdPlacement key) const {
      return entry(config.rewardedPlacements(), key);
    }
    const AdPlacementConfig* operator()(AppOpenAdPlacement key) const {
      return entry(config.appOpenPlacements(), key);
    }
  };
  return std::visit(Find{*config_}, placement.payload());
}

bool AdsService::isPausedByConfig(const AdsPlacement& placement) const {
  if (!adsPauseConfigProvider_) return false;
  const std::optional<AdsPauseConfig> pauseConfig = adsPauseConfigProvider_->pauseConfig();
  return pauseConfig && pauseConfig->checkCondition(placement);
}

bool AdsService::isPausedByStoredDate() const {
  std::optional<StorableValue> stored;
  try {
    stored = storage_->value(kAdsPausedTillDateKey);
  } catch (...) {
    reportUnusablePauseDate("it could not be read: " + describe(std::current_exception()));
    return false;
  }
  if (!stored) return false;
  const auto* pausedTill = std::get_if<Platform::Date>(&*stored);
  if (pausedTill == nullptr) {
    reportUnusablePauseDate("the stored value is not a date");
    return false;
  }
  // A date that has passed stays stored and is simply ignored.
  return now() < *pausedTill;
}

void AdsService::reportUnusablePauseDate(std::string_view reason) const {
  if (reportedUnusablePauseDate_) return;
  reportedUnusablePauseDate_ = true;
  std::string message = "ADs pause under \"";
  message.append(kAdsPausedTillDateKey).append("\" is ignored: ").append(reason);
  QVLog(LogFlag::error, message, QVR_FILE_TEXT, kShouldShowAd, __LINE__);
}

bool AdsService::shouldShowAd(const AdsPlacement& placement) const {
  if (!userService_ || userService_->isPremium()) return false;
  if (freeUseService_ && freeUseService_->isFreeUseActive()) return false;
  const AdPlacementConfig* placementConfig = adPlacementConfig(placement);
  if (placementConfig == nullptr) return false;
  if (!storage_ || isPausedByStoredDate()) return false;
  if (isPausedByConfig(placement)) {
    QVLog(LogFlag::warning, "ADs would be paused for placement: " + placement.description(),
          QVR_FILE_TEXT, kShouldShowAd, __LINE__);
    return false;
  }
  return !placementConfig->keys().empty();
}

InterstitialType AdsService::interstitialTypeToPresent() {
  if (!userService_ || userService_->isPremium()) return InterstitialType::none;
  if (!config_ || config_->interstitialPlacements().empty()) return InterstitialType::none;
  if (!connectionService_ || !rateUsService_) return InterstitialType::none;

  InterstitialAdPlacement candidate{};
  InterstitialType result{};
  RateUsMoment moment{};
  switch (rawValue(connectionService_->vpnStatus())) {
    case kStatusBeforeConnect:
      candidate = InterstitialAdPlacement::connect;
      result = InterstitialType::connect;
      moment = RateUsMoment::connect;
      break;
    case kStatusBeforeDisconnect:
      candidate = InterstitialAdPlacement::disconnect;
      result = InterstitialType::disconnect;
      moment = RateUsMoment::disconnect;
      break;
    default:
      return InterstitialType::none;
  }

  const AdPlacementConfig* placementConfig =
      adPlacementConfig(AdsPlacement::interstitial(candidate));
  // The network's own capping applies only once its bridge has been started.
  if (placementConfig != nullptr && placementConfig->source() == AdSource::ironSource &&
      ironSource_ && ironSource_->isInterstitialCappedFor(placementConfig->keys())) {
    return InterstitialType::none;
  }
  // The interval runs from the last grant of this placement, not from a presentation.
  const std::optional<Platform::Date>& lastGrant = adRequestDates_[index(candidate)];
  if (lastGrant && placementConfig != nullptr &&
      now().timeIntervalSince(*lastGrant) < placementConfig->timeout()) {
    return InterstitialType::none;
  }
  // The prompt flag is asked only at a rate-us moment.
  if (rateUsService_->rateUsMomentCheck(moment) && !rateUsService_->rateUsPromptFlag()) {
    return InterstitialType::none;
  }
  if (rateUsService_->rateUsMomentBlock(moment)) return InterstitialType::none;

  adRequestDates_[index(candidate)] = now();
  return result;
}

void AdsService::pauseAds(Platform::TimeInterval interval) {
  if (std::isnan(interval)) {
    QVLogAssertionFailure("ADs pause needs a number of seconds, got NaN; the pause is unchanged",
                          QVR_FILE_TEXT, kPauseAds, __LINE__);
    return;
  }
  if (!storage_) return;  // create() has reported it
  // An infinite interval has no end date of its own: +infinity pauses "until further notice",
  // which is the farthest date the store keeps, and -infinity means a pause that ended long ago,
  // which lifts any pause like every other negative interval. Finite intervals reaching beyond
  // those dates are held to them too, so that the stored date is always a real, comparable one.
  const Platform::Date pausedTill =
      std::clamp(now().addingTimeInterval(interval), Platform::Date::distantPast(),
                 Platform::Date::distantFuture());
  std::optional<Platform::Error> error;
  try {
    error = storage_->write<Platform::Date>(pausedTill, kAdsPausedTillDateKey);
  } catch (...) {
    error = Platform::Error{"", 0, describe(std::current_exception())};
  }
  if (error) {
    QVLog(LogFlag::error, "ADs pause could not be saved: " + error->localizedDescription,
          QVR_FILE_TEXT, kPauseAds, __LINE__);
  }
}

std::optional<AdsPlacement> AdsService::appLaunchPlacement() const {
  if (!config_) return std::nullopt;
  if (config_->interstitialPlacements().contains(InterstitialAdPlacement::appLaunch)) {
    return AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch);
  }
  if (config_->appOpenPlacements().contains(AppOpenAdPlacement::appLaunch)) {
    return AdsPlacement::appOpen(AppOpenAdPlacement::appLaunch);
  }
  return std::nullopt;
}

bool AdsService::shouldShowAppLaunchAd() const {
  const std::optional<AdsPlacement> placement = appLaunchPlacement();
  return placement && shouldShowAd(*placement);
}

double AdsService::appOpenAdTimeout() const {
  if (!config_) return 0;
  const AdPlacementConfig* main = entry(config_->appOpenPlacements(), AppOpenAdPlacement::main);
  return main == nullptr ? 0 : main->timeout();
}

bool AdsService::shouldShowDisconnectAd() const {
  return shouldShowAd(AdsPlacement::interstitial(InterstitialAdPlacement::disconnect));
}

// The start-up run, the builders and the hand-out of ads.
//
// The run is a chain of steps. Consent runs on the main queue, the configuration phase's waits
// (the first configuration value, each network start) on the background executor, and every
// change of the service's own state on the main queue: the background only subscribes to the
// configuration stream and calls the network starts, so the main queue never reads what another
// thread writes. The steps keep their order: consent, configuration fetch, configuration stored,
// networks started one after another, builders rebuilt, mediators told, builders started, run
// ended.
//
// What holds what:
// - The run holds the service strongly through all its steps but one, the configuration wait
//   (below): the consent completion, every hop between the main queue and the background
//   executor, each network-start completion and the final step carry a strong pointer. A run
//   the host has started thus ends as it would have ended had the host kept the service, even
//   when the host lets go of it meanwhile, and the service goes when the run lets go of it. A
//   consent answer or a network start that never comes keeps the service alive for good: that is
//   the price of a run without time limits.
// - Each step moves its strong pointer on to the next step instead of copying it. A completion
//   handed to the consent service or a network holds a RunHandOff, which the first call empties
//   whichever copy makes it: the consent service and the IronSource bridge copy and keep their
//   completions, and a kept or repeated completion must neither hold the service nor run the
//   rest twice. As long as the consent service and the networks call the completions they take,
//   the last pointer is so let go on the main queue, where the service and its builders must be
//   destroyed.
// - The configuration stream's observer is the exception: it lives in the service's own bag_, so
//   a strong pointer there would be a cycle (service, bag, subscription, observer, service) that
//   never ends when the stream never emits. It holds the service weakly. While nothing has been
//   published, a service the host has dropped therefore goes at once, its bag ends the
//   subscription and nothing of the run happens later. When the value arrives, the observer locks
//   the service once and hands the strong pointer to the main-queue step it posts: from then on
//   the run holds the service again until it ends.
namespace {

constexpr std::string_view kRunFunction = "checkConsentAndLoadAds(shouldLoadGDPR:)";

// The run's strong hold on the service inside a completion that others may copy, keep and call
// more than once (from any thread): the first take() gets the service, later ones nothing.
class RunHandOff {
 public:
  explicit RunHandOff(std::shared_ptr<AdsService> service) : service_(std::move(service)) {}
  [[nodiscard]] std::shared_ptr<AdsService> take() {
    const std::lock_guard lock(mutex_);
    return std::move(service_);
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<AdsService> service_;
};

// Runs work on the main queue: now when already there, otherwise as a posted block.
void onMainQueue(Platform::Environment& environment, std::function<void()> work) {
  if (environment.mainQueue().isCurrent()) {
    work();
  } else {
    environment.mainQueue().async(std::move(work));
  }
}

}  // namespace

void AdsService::checkConsentAndLoadAds(bool shouldLoadGDPR) {
  auto& environment = Platform::Environment::current();
  ++runsInProgress_;  // ends wherever the run ends, each path below
  // The run starts as its own task, after this call has returned.
  environment.mainQueue().async(
      [self = shared_from_this(), shouldLoadGDPR] { self->runConsentPhase(shouldLoadGDPR); });
}

void AdsService::runConsentPhase(bool shouldLoadGDPR) {
  if (!adsConsentService_) {
    // Reported at construction. Without a consent service consent is never resolved.
    --runsInProgress_;
    isLoadedRelay_.accept(true);
    return;
  }
  if (!shouldLoadGDPR) {
    if (!adsConsentService_->gdprConsentResolved()) {
      --runsInProgress_;
      isLoadedRelay_.accept(true);
      return;
    }
    runConfigurationPhase();
    return;
  }
  auto* environment = &Platform::Environment::current();
  adsConsentService_->loadGDPRConsent(
      [handOff = std::make_shared<RunHandOff>(shared_from_this()), environment](
          bool formLoaded, const std::optional<Platform::Error>& error) {
        auto self = handOff->take();
        if (!self) return;  // called before: this run has gone on already
        onMainQueue(*environment, [self = std::move(self), formLoaded, error] {
          if (error) {
            --self->runsInProgress_;
            QVLog(LogFlag::debug, "ADs configurations error: " + error->localizedDescription,
                  QVR_FILE_TEXT, kRunFunction, __LINE__);
            return;
          }
          if (formLoaded) {
            // A consent form waits for the user: the host shows it and starts another run.
            --self->runsInProgress_;
            self->isLoadedRelay_.accept(true);
            return;
          }
          self->runConfigurationPhase();
        });
      });
}

void AdsService::runConfigurationPhase() {
  auto* environment = &Platform::Environment::current();
  auto provider = configProvider_;
  if (!provider) {
    --runsInProgress_;
    return;
  }
  environment->background().async([self = shared_from_this(), environment, provider]() mutable {
    getAdsConfig(*environment, std::move(self), provider);
  });
}

// Background: subscribes to the configuration stream for its first value only and waits for it
// without a time limit. Later values are not observed: a changed configuration takes effect with
// the next run. The subscription goes into the service's bag, so that it ends with the service;
// its observer therefore holds the service weakly.
void AdsService::getAdsConfig(Platform::Environment& environment, std::shared_ptr<AdsService> self,
                              const std::shared_ptr<AdsConfigProvidable>& provider) {
  auto* env = &environment;
  auto subscription = std::make_shared<Rx::Disposable>(provider->rx().adsConfig().take(1).subscribe(
      [weak = std::weak_ptr(self), env](const AdsConfig& config) {
        auto service = weak.lock();
        if (!service) return;
        env->mainQueue().async(
            [service = std::move(service), config] { service->didReceiveConfig(config); });
      }));
  environment.mainQueue().async(
      [self = std::move(self), subscription] { std::move(*subscription).disposed(self->bag_); });
}

// Main queue: stores the run's configuration, then starts the networks one after another on the
// background executor, each waiting for its completion, and finishes the run on the main queue.
void AdsService::didReceiveConfig(const AdsConfig& config) {
  config_ = config;
  auto starts = std::make_shared<std::vector<NetworkStart>>(initializeAds(config.sources()));
  auto runConfig = std::make_shared<const AdsConfig>(config);
  auto* environment = &Platform::Environment::current();
  environment->background().async(
      [self = shared_from_this(), environment, starts, runConfig]() mutable {
        startNetwork(*environment, std::move(self), starts, 0, runConfig);
      });
}

// Picks the networks of the configuration that this service has not started yet (each at most
// once per service, whatever later runs configure) and answers how to start each. The service
// holds the networks it started; a start refers to its network weakly so that a network keeping
// its completion does not also keep itself. A network that is gone cannot be started: the run
// goes on without it.
std::vector<AdsService::NetworkStart> AdsService::initializeAds(const AdsConfig::Sources& sources) {
  std::vector<NetworkStart> starts;
  for (const auto& [source, key] : sources) {
    switch (source) {
      case AdSource::adMob: {
        if (adMob_) break;
        adMob_ = GADMobileAds::sharedInstance();
        if (adMob_) {
          starts.emplace_back([mobileAds = std::weak_ptr(adMob_)](std::function<void()> done) {
            auto instance = mobileAds.lock();
            if (!instance) {
              done();
              return;
            }
            instance->startWithCompletionHandler(
                [done = std::move(done)](const GADInitializationStatus&) { done(); });
          });
        }
        break;
      }
      case AdSource::ironSource: {
        if (ironSource_) break;
        if (!key) {
          QVLogAssertionFailure("Should provide IronSource key", QVR_FILE_TEXT,
                                "initializeAds(sources:)", __LINE__);
          break;
        }
        auto helper = IronSourceHelper::sharedInstance();
        ironSource_ = helper;
        if (helper) {
          starts.emplace_back(
              [bridge = std::weak_ptr(helper), appKey = *key](std::function<void()> done) {
                auto instance = bridge.lock();
                if (!instance) {
                  done();
                  return;
                }
                instance->start(appKey, std::move(done));
              });
        }
        break;
      }
    }
  }
  return starts;
}

// Background: starts network index, or, past the last one, posts the end of the run. The start's
// completion carries the service on through a RunHandOff, so that a network that calls twice, or
// keeps its completion, neither runs the rest twice nor keeps the service.
void AdsService::startNetwork(Platform::Environment& environment, std::shared_ptr<AdsService> self,
                              const std::shared_ptr<std::vector<NetworkStart>>& starts,
                              std::size_t index, const std::shared_ptr<const AdsConfig>& config) {
  auto* env = &environment;
  if (index == starts->size()) {
    env->mainQueue().async([self = std::move(self), config] { self->finishRun(*config); });
    return;
  }
  (*starts)[index]([env, handOff = std::make_shared<RunHandOff>(std::move(self)), starts, index,
                    config] {
    auto service = handOff->take();
    if (!service) return;
    env->background().async([env, service = std::move(service), starts, index, config]() mutable {
      startNetwork(*env, std::move(service), starts, index + 1, config);
    });
  });
}

void AdsService::finishRun(const AdsConfig& config) {
  resetBuilders(config);
  if (adsConsentService_) adsConsentService_->notifyMediators();
  shouldStart_ = true;
  startBuilders();
  --runsInProgress_;
  isLoadedRelay_.accept(true);
}

void AdsService::resetBuilders(const AdsConfig& config) {
  interstitialAdBuilders_.clear();
  rewardedAdBuilders_.clear();
  appOpenAdBuilders_.clear();
  if (!userService_ || !reporting_) return;  // reported at construction: no builder can work
  for (const auto& [placement, placementConfig] : config.interstitialPlacements()) {
    auto builder = InterstitialAdBuilderV2::create(userService_, reporting_, placement,
                                                   placementConfig.source());
    builder->update(placementConfig.keys());
    if (shouldStart_) builder->start();
    interstitialAdBuilders_[placement] = std::move(builder);
  }
  for (const auto& [placement, placementConfig] : config.appOpenPlacements()) {
    if (placementConfig.source() == AdSource::ironSource) {
      QVLogAssertionFailure("Doesn't support appOpen with IronSource", QVR_FILE_TEXT,
                            "resetBuilders(with:)", __LINE__);
    }
    auto builder = AppOpenAdBuilder::create(userService_, reporting_, placementConfig.keys());
    builder->update(placementConfig.keys());
    if (shouldStart_) builder->start();
    appOpenAdBuilders_[placement] = std::move(builder);
  }
  for (const auto& [placement, placementConfig] : config.rewardedPlacements()) {
    if (placementConfig.keys().empty()) continue;
    rewardedAdBuilders_[placement] =
        RewardedVideoAdBuilder::create(placementConfig.source(), placementConfig.keys().front(),
                                       userService_, reporting_, shouldStart_);
  }
}

void AdsService::startBuilders() {
  for (const auto& [placement, builder] : interstitialAdBuilders_) builder->start();
  for (const auto& [placement, builder] : rewardedAdBuilders_) builder->start();
  for (const auto& [placement, builder] : appOpenAdBuilders_) builder->start();
}

void AdsService::loadAds() {
  shouldStart_ = true;
  startBuilders();
}

void AdsService::reloadAds() {
  for (const auto& [placement, builder] : interstitialAdBuilders_) builder->reload();
  for (const auto& [placement, builder] : rewardedAdBuilders_) builder->reload();
  for (const auto& [placement, builder] : appOpenAdBuilders_) builder->reload();
}

void AdsService::reload(const AdsPlacement& placement) {
  if (auto found = builder(placement)) found->reload();
}

std::shared_ptr<AdBuildable> AdsService::builder(const AdsPlacement& placement) const {
  auto find = [](const auto& builders, auto key) -> std::shared_ptr<AdBuildable> {
    auto it = builders.find(key);
    return it == builders.end() ? nullptr : it->second;
  };
  if (auto p = placement.interstitialPlacement()) return find(interstitialAdBuilders_, *p);
  if (auto p = placement.rewardedPlacement()) return find(rewardedAdBuilders_, *p);
  if (auto p = placement.appOpenPlacement()) return find(appOpenAdBuilders_, *p);
  return nullptr;
}

std::shared_ptr<InterstitialAd> AdsService::interstitialAd(InterstitialAdPlacement placement) {
  const auto adsPlacement = AdsPlacement::interstitial(placement);
  if (!shouldShowAd(adsPlacement)) return nullptr;
  auto found = interstitialAdBuilders_.find(placement);
  if (found == interstitialAdBuilders_.end()) return nullptr;
  const auto* placementConfig = adPlacementConfig(adsPlacement);
  if (placementConfig && placementConfig->source() == AdSource::ironSource && ironSource_ &&
      ironSource_->isInterstitialCappedFor(placementConfig->keys())) {
    return nullptr;
  }
  return found->second->getAd();
}

std::shared_ptr<RewardedVideoAd> AdsService::rewardedAd(RewardedAdPlacement /*placement*/) {
  // The enumeration has one case: the timewall placement is the one asked about.
  if (!shouldShowAd(AdsPlacement::rewarded(RewardedAdPlacement::timewall))) return nullptr;
  auto found = rewardedAdBuilders_.find(RewardedAdPlacement::timewall);
  return found == rewardedAdBuilders_.end() ? nullptr : found->second->rewardedAd();
}

std::shared_ptr<AppOpenAd> AdsService::appOpenAd(AppOpenAdPlacement placement) {
  if (!shouldShowAd(AdsPlacement::appOpen(placement))) return nullptr;
  auto found = appOpenAdBuilders_.find(placement);
  return found == appOpenAdBuilders_.end() ? nullptr : found->second->getAd();
}

std::optional<Rx::Observable<bool>> AdsService::appLaunchIsLoadingAdStream() {
  // Each end of a run (a true of the relay) adds the app-launch builder's loading changes, minus
  // the current state and the first change: for an idle builder the first value is the false that
  // ends its first load.
  return isLoadedRelay_.asObservable()
      .filter([](bool loaded) { return loaded; })
      .flatMap([weak = weak_from_this()](bool) {
        auto self = weak.lock();
        if (!self) return Rx::Observable<bool>::just(false);
        auto placement = self->appLaunchPlacement();
        if (placement && self->shouldShowAd(*placement)) {
          if (auto found = self->builder(*placement)) return found->isLoadingStream().skip(2);
        }
        return Rx::Observable<bool>::just(false);
      });
}

}  // namespace QVRAdKit
