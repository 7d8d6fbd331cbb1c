// The start-up run of AdsService.
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
// - The run holds the service strongly through every step, the configuration wait included: the
//   consent completion, every hop between the main queue and the background executor, the
//   configuration observer, each network-start completion and the final step carry a strong
//   pointer. A run the host has started thus ends as it would have ended had the host kept the
//   service, even when the host lets go of it meanwhile, and the service goes when the run lets go
//   of it. A configuration, a consent answer or a network start that never comes keeps the service
//   alive for good: that is the price of a run without time limits.
// - Each step moves its strong pointer on to the next step instead of copying it. A completion
//   handed to the consent service, a network or the configuration stream holds the pointer in a
//   one-shot box that the first call empties, whichever copy makes it: the consent service and the
//   IronSource bridge copy and keep their completions, and a kept or repeated completion must
//   neither hold the service nor run the rest twice. The last pointer is so let go on the main
//   queue, where the service and its builders must be destroyed.
// - The configuration subscription belongs to the run, not to the service's bag: the run's wait
//   owns it and ends it when the value (or the stream's end) arrives. Kept in the service, it
//   would make a cycle (service, bag, subscription, observer, service) and pile up, one per run.
//   The environment's teardown ends it as well, so a stream that never emits leaves nothing.

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Builders/AppOpenAdBuilder.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilder.h"
#include "QVRAdKit/Consent/AdsConsentService.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "QVRAdKit/Services/AdsService/AdsServiceLogText.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "QVRAdKit/Services/AdsService/IntegrationCheck.h"

namespace QVRAdKit {

namespace {

using AdsServiceLogText::kFile;

constexpr std::string_view kRunFunction = "checkConsentAndLoadAds(shouldLoadGDPR:)";

// One line per entry of the integration report, at the entry's severity (which the logger states,
// so the line does not repeat it).
void logIntegration(const IntegrationReport& report) {
  for (const auto& issue : report.issues) {
    QVLog(issue.severity == IntegrationIssue::Severity::error ? LogFlag::error : LogFlag::warning,
          issue.message(), kFile, "checkIntegration()", __LINE__);
  }
}

// The run's strong hold on the service inside a completion that others may copy, keep and call
// more than once (from any thread): the first take() gets the service, later ones nothing.
// Host or SDK code that keeps a completion without calling it keeps the run waiting, and the
// service with it, for as long as the environment lives; make() lists the hand-off with the
// environment, whose teardown takes the service from every run still waiting. Otherwise a
// network that keeps its start's completion, while the service holds that network, would keep
// both alive past the environment.
class RunHandOff {
 public:
  explicit RunHandOff(std::shared_ptr<AdsService> service) : service_(std::move(service)) {}
  static std::shared_ptr<RunHandOff> make(Platform::Environment& environment,
                                          std::shared_ptr<AdsService> service);
  [[nodiscard]] std::shared_ptr<AdsService> take() {
    const std::lock_guard lock(mutex_);
    return std::move(service_);
  }
  // What to end besides the service when the environment's teardown lets the run go: a wait that
  // would otherwise keep itself alive through the observer it owns.
  // Named after the teardown, the action runs at once.
  void onLetGo(std::function<void()> action) {
    {
      const std::lock_guard lock(mutex_);
      if (!letGo_) {
        onLetGo_ = std::move(action);
        return;
      }
    }
    action();
  }
  // The teardown's take(): the service goes, and so does what onLetGo() named.
  void letGo() {
    std::function<void()> action;
    std::shared_ptr<AdsService> service;
    {
      const std::lock_guard lock(mutex_);
      service = std::move(service_);
      action = std::move(onLetGo_);
      letGo_ = true;
    }
    if (action) action();
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<AdsService> service_;
  std::function<void()> onLetGo_;
  bool letGo_ = false;
};

// An environment's runs waiting on a completion, held weakly; its teardown lets them go.
class RunsUnderWay {
 public:
  RunsUnderWay() = default;
  RunsUnderWay(const RunsUnderWay&) = delete;
  RunsUnderWay& operator=(const RunsUnderWay&) = delete;
  ~RunsUnderWay() {
    std::vector<std::weak_ptr<RunHandOff>> runs;
    {
      const std::lock_guard lock(mutex_);
      runs.swap(runs_);
    }
    for (const auto& weak : runs) {
      if (auto run = weak.lock()) run->letGo();
    }
  }
  void add(const std::shared_ptr<RunHandOff>& run) {
    const std::lock_guard lock(mutex_);
    std::erase_if(runs_, [](const std::weak_ptr<RunHandOff>& weak) { return weak.expired(); });
    runs_.push_back(run);
  }

 private:
  std::mutex mutex_;
  std::vector<std::weak_ptr<RunHandOff>> runs_;
};

std::shared_ptr<RunHandOff> RunHandOff::make(Platform::Environment& environment,
                                             std::shared_ptr<AdsService> service) {
  auto handOff = std::make_shared<RunHandOff>(std::move(service));
  environment.sharedInstance<RunsUnderWay>([] { return std::make_shared<RunsUnderWay>(); })
      ->add(handOff);
  return handOff;
}

// The run's wait for the first configuration value: it owns the subscription, which the stream
// may answer on any thread and even before subscribe() has returned it. end() ends the
// subscription; a subscription kept after end() is ended at once.
class ConfigurationWait {
 public:
  void keep(Rx::Disposable subscription) {
    std::unique_lock lock(mutex_);
    if (ended_) {
      lock.unlock();
      subscription.dispose();
      return;
    }
    subscription_ = std::move(subscription);
  }
  void end() {
    Rx::Disposable subscription;
    {
      const std::lock_guard lock(mutex_);
      ended_ = true;
      subscription = std::move(subscription_);
    }
    subscription.dispose();  // outside the lock: ending it destroys the observer, which holds us
  }

 private:
  std::mutex mutex_;
  bool ended_ = false;
  Rx::Disposable subscription_;
};

// Runs work on the main queue: now when already there, otherwise as a posted block.
void onMainQueue(Platform::Environment& environment, std::function<void()> work) {
  if (environment.mainQueue().isCurrent()) {
    work();
  } else {
    environment.mainQueue().async(std::move(work));
  }
}

std::set<AdSource> sourcesOf(const AdsConfig& config) {
  std::set<AdSource> sources;
  for (const auto& [source, key] : config.sources()) sources.insert(source);
  return sources;
}

}  // namespace

// Logs, once per network, what the bridge of each network the configuration names lacks: the
// bridge entries of the integration check, without the rest of it (logged at the first run).
void AdsService::logMissingBridges(const AdsConfig& config) {
  std::set<AdSource> sources;
  for (const auto& [source, key] : config.sources()) {
    if (bridgesLogged_.insert(source).second) sources.insert(source);
  }
  if (sources.empty()) return;
  IntegrationReport missing;
  checkBridges(environment_, sources, /*sourcesConfigured=*/true, missing);
  logIntegration(missing);
}

void AdsService::describeWiring(IntegrationCheckInput& input) const {
  input.storage = storage_;
  const std::pair<bool, ServiceDependency> required[] = {
      {configProvider_ == nullptr, ServiceDependency::configProvider},
      {userService_ == nullptr, ServiceDependency::userService},
      {connectionService_ == nullptr, ServiceDependency::connectionService},
      {rateUsService_ == nullptr, ServiceDependency::rateUsService},
      {adsConsentService_ == nullptr, ServiceDependency::adsConsentService},
      {reporting_ == nullptr, ServiceDependency::reporting},
  };
  for (const auto& [missing, dependency] : required) {
    if (missing) input.missingDependencies.insert(dependency);
  }
  input.config = config_ ? &*config_ : nullptr;
}

IntegrationReport AdsService::checkIntegration() const {
  QVR_CHECK_MAIN_QUEUE();
  IntegrationCheckInput input;
  describeWiring(input);
  if (config_) {
    input.sources = sourcesOf(*config_);
    input.sourcesConfigured = true;
  }
  if (runsInProgress_ > 0) input.runWait = startUpProgress_.wait();
  for (const auto& placement : snapshot().placements) {
    for (const auto& key : placement.keys) {
      const auto& ad = key.ad;
      if (ad && ad->state == AdsServiceSnapshot::AdState::loading &&
          ad->ageOrigin == AdsServiceSnapshot::AgeOrigin::requested && ad->age &&
          *ad->age > kStalledAdLoadAge) {
        input.stalledLoads.push_back(
            {placement.placement.description(), key.key, placement.source, *ad->age});
      }
    }
  }
  if (startUpProgress_.outcome() && userService_) {
    input.noSignedInUser = callHost(kFile, "checkIntegration()", __LINE__, false,
                                    [&] { return userService_->currentUser() == nullptr; });
    input.userStreamSilent = !input.noSignedInUser && builderWaitsForUser();
  }
  return QVRAdKit::checkIntegration(environment_, input);
}

void AdsService::checkConsentAndLoadAds(bool shouldLoadGDPR) {
  QVR_CHECK_MAIN_QUEUE();
  if (!std::exchange(integrationLogged_, true)) {
    // Before a configuration names its networks no bridge is due: checking them all would warn a
    // host of networks it never configured. didReceiveConfig logs those of the configuration.
    IntegrationCheckInput input;
    describeWiring(input);
    if (config_) {
      input.sources = sourcesOf(*config_);
      input.sourcesConfigured = true;
      bridgesLogged_ = input.sources;
    } else {
      input.sources.clear();
    }
    logIntegration(QVRAdKit::checkIntegration(environment_, input));
  }
  ++runsInProgress_;  // ends wherever the run ends, each path below
  // The run starts as its own task, after this call has returned.
  environment_.mainQueue().async(
      [self = shared_from_this(), shouldLoadGDPR] { self->runConsentPhase(shouldLoadGDPR); });
}

void AdsService::runConsentPhase(bool shouldLoadGDPR) {
  if (!adsConsentService_) {
    // Reported at construction. Without a consent service consent is never resolved.
    --runsInProgress_;
    startUpProgress_.ended(StartUpOutcome::noConsentService);
    isLoadedRelay_.accept(true);
    return;
  }
  if (!shouldLoadGDPR) {
    if (!adsConsentService_->gdprConsentResolved()) {
      --runsInProgress_;
      startUpProgress_.ended(StartUpOutcome::consentNotResolved);
      isLoadedRelay_.accept(true);
      return;
    }
    runConfigurationPhase();
    return;
  }
  auto* environment = &environment_;
  startUpProgress_.waitOn({StartUpStep::consentUpdate, std::nullopt, environment_.clock().now()});
  adsConsentService_->loadGDPRConsent(
      [handOff = RunHandOff::make(*environment, shared_from_this()), environment](
          bool formLoaded, const std::optional<Platform::Error>& error) {
        auto self = handOff->take();
        if (!self) return;  // called before: this run has gone on already
        onMainQueue(*environment, [self = std::move(self), formLoaded, error] {
          if (error) {
            --self->runsInProgress_;
            self->startUpProgress_.ended(StartUpOutcome::consentError, error->localizedDescription);
            QVLog(LogFlag::debug, "ADs configurations error: " + error->localizedDescription, kFile,
                  kRunFunction, __LINE__);
            return;
          }
          if (formLoaded) {
            // A consent form waits for the user: the host shows it and starts another run.
            --self->runsInProgress_;
            self->startUpProgress_.ended(StartUpOutcome::consentFormToShow);
            self->isLoadedRelay_.accept(true);
            return;
          }
          self->runConfigurationPhase();
        });
      });
}

void AdsService::runConfigurationPhase() {
  auto* environment = &environment_;
  auto provider = configProvider_;
  if (!provider) {
    --runsInProgress_;
    startUpProgress_.ended(StartUpOutcome::noConfiguration);
    return;
  }
  startUpProgress_.waitOn({StartUpStep::configuration, std::nullopt, environment->clock().now()});
  environment->background().async([self = shared_from_this(), environment, provider]() mutable {
    getAdsConfig(*environment, std::move(self), provider);
  });
}

// Background: subscribes to the configuration stream for its first value only and waits for it
// without a time limit. Later values are not observed: a changed configuration takes effect with
// the next run. The observer holds the service (the run goes on even if the host lets go of it)
// and hands it to the main-queue step it posts; that step ends the subscription. A stream that
// ends without a value, or a provider that throws, ends the run there: nothing changes, and the
// service is let go on the main queue.
void AdsService::getAdsConfig(Platform::Environment& environment, std::shared_ptr<AdsService> self,
                              const std::shared_ptr<AdsConfigProvidable>& provider) {
  auto* env = &environment;
  auto handOff = RunHandOff::make(environment, std::move(self));
  auto wait = std::make_shared<ConfigurationWait>();
  // A stream that never emits keeps the observer, and with it the wait that owns its
  // subscription, for as long as the subscription lives: the teardown must end it too.
  handOff->onLetGo([weak = std::weak_ptr(wait)] {
    if (auto held = weak.lock()) held->end();
  });
  auto endWithoutValue = [handOff, wait, env] {
    auto service = handOff->take();
    if (!service) return;
    env->mainQueue().async([service = std::move(service), wait] {
      wait->end();
      --service->runsInProgress_;
      service->startUpProgress_.ended(StartUpOutcome::noConfiguration);
    });
  };
  // The provider and its stream are host code: one that throws while the stream is asked for or
  // subscribed to is logged and ends the run as a stream without a value does.
  auto subscription =
      callHost(kFile, "getAdsConfig()", __LINE__, std::optional<Rx::Disposable>(),
               [&]() -> std::optional<Rx::Disposable> {
                 return provider->rx().adsConfig().take(1).subscribe(
                     [handOff, wait, env](const AdsConfig& config) {
                       auto service = handOff->take();
                       if (!service) return;
                       env->mainQueue().async([service = std::move(service), wait, config] {
                         wait->end();
                         service->didReceiveConfig(config);
                       });
                     },
                     [endWithoutValue](const Rx::Error&) { endWithoutValue(); }, endWithoutValue);
               });
  if (!subscription) {
    endWithoutValue();
    return;
  }
  wait->keep(std::move(*subscription));
}

// Main queue: stores the run's configuration, then starts the networks one after another on the
// background executor, each waiting for its completion, and finishes the run on the main queue.
void AdsService::didReceiveConfig(const AdsConfig& config) {
  config_ = config;
  logMissingBridges(config);
  auto starts = std::make_shared<std::vector<NetworkStart>>(initializeAds(config.sources()));
  auto runConfig = std::make_shared<const AdsConfig>(config);
  auto* environment = &environment_;
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
        adMob_ = GADMobileAds::sharedInstance(environment_);
        if (adMob_) {
          starts.push_back(
              {AdSource::adMob, [mobileAds = std::weak_ptr(adMob_)](std::function<void()> done) {
                 auto instance = mobileAds.lock();
                 if (!instance) {
                   done();
                   return;
                 }
                 instance->startWithCompletionHandler(
                     [done = std::move(done)](const GADInitializationStatus&) { done(); });
               }});
        }
        break;
      }
      case AdSource::ironSource: {
        if (ironSource_) break;
        if (!key) {
          QVLogAssertionFailure("Should provide IronSource key", kFile, "initializeAds(sources:)",
                                __LINE__);
          break;
        }
        auto helper = IronSourceHelper::sharedInstance(environment_);
        ironSource_ = helper;
        // Without a bridge the SDK never answers its start: waiting for it would hold the run,
        // and with it this service, for ever. The run goes on; the integration report says why.
        if (helper && environment_.service<IronSourceSDK>()) {
          starts.push_back({AdSource::ironSource, [bridge = std::weak_ptr(helper),
                                                   appKey = *key](std::function<void()> done) {
                              auto instance = bridge.lock();
                              if (!instance) {
                                done();
                                return;
                              }
                              instance->start(appKey, std::move(done));
                            }});
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
  const NetworkStart& start = (*starts)[index];
  self->startUpProgress_.waitOn({StartUpStep::networkStart, start.source, env->clock().now()});
  start.start([env, handOff = RunHandOff::make(environment, std::move(self)), starts, index,
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
  startUpProgress_.ended(StartUpOutcome::loaded);
  isLoadedRelay_.accept(true);
}

void AdsService::resetBuilders(const AdsConfig& config) {
  interstitialAdBuilders_.clear();
  rewardedAdBuilders_.clear();
  appOpenAdBuilders_.clear();
  if (!userService_ || !reporting_) return;  // reported at construction: no builder can work
  for (const auto& [placement, placementConfig] : config.interstitialPlacements()) {
    auto builder = InterstitialAdBuilderV2::create(environment_, userService_, reporting_,
                                                   placement, placementConfig.source());
    builder->update(placementConfig.keys());
    if (shouldStart_) builder->start();
    interstitialAdBuilders_[placement] = std::move(builder);
  }
  for (const auto& [placement, placementConfig] : config.appOpenPlacements()) {
    if (placementConfig.source() == AdSource::ironSource) {
      QVLogAssertionFailure("Doesn't support appOpen with IronSource", kFile,
                            "resetBuilders(with:)", __LINE__);
    }
    auto builder =
        AppOpenAdBuilder::create(environment_, userService_, reporting_, placementConfig.keys());
    builder->update(placementConfig.keys());
    if (shouldStart_) builder->start();
    appOpenAdBuilders_[placement] = std::move(builder);
  }
  for (const auto& [placement, placementConfig] : config.rewardedPlacements()) {
    if (placementConfig.keys().empty()) continue;
    rewardedAdBuilders_[placement] = RewardedVideoAdBuilder::create(
        environment_, placementConfig.source(), placementConfig.keys().front(), userService_,
        reporting_, shouldStart_);
  }
}

}  // namespace QVRAdKit
