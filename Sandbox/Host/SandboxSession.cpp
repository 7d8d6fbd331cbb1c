#include "Sandbox/Host/SandboxSession.h"

#include <utility>

#include "QVRAdKit/Platform/UUID.h"
#include "Sandbox/Host/SandboxNarration.h"
#include "Sandbox/Host/SandboxSeeds.h"
#include "Sandbox/HostServices/SandboxUser.h"

namespace QVRAdKit::Sandbox {
namespace {

// How often a user action that finds an ad on screen looks again, and for how long at most.
constexpr Platform::TimeInterval kBusyRetry = 5;
constexpr int kBusyRetries = 24;

}  // namespace

SandboxSession::SandboxSession(Platform::Environment& environment,
                               const SandboxHostOptions& options,
                               const std::shared_ptr<SQLiteKeyValueStore>& store)
    : environment_(environment),
      options_(options),
      profile_(options.configuration.session),
      start_(environment.clock().now()),
      random_(derivedSeed(options.seed, 3)),
      users_(std::make_shared<SandboxUserService>(SandboxUser::make(options.premium))),
      connection_(std::make_shared<SandboxConnectionService>(QVVPNManagerStatus::disconnected)),
      rateUs_(std::make_shared<SandboxRateUsService>()),
      freeUse_(std::make_shared<SandboxFreeUseService>(false)),
      consent_(QVRAdsConsentServiceImpl::create(environment)),
      reporting_(options.countEvents ? std::make_shared<CountingReporting>(options.reporting)
                                     : nullptr),
      storage_(std::make_shared<SQLiteStorage>(store)),
      configProvider_(std::make_shared<SandboxAdsConfigProvider>(options.configuration.ads)) {
  // Ads are created on this thread while it drains the main queue; a seeded generator gives them
  // the same uuids on every run with the same seed.
  Platform::UUID::seedCurrentThread(derivedSeed(options.seed, 4));
  AdsService::Dependencies dependencies;
  dependencies.environment = &environment;
  dependencies.configProvider = configProvider_;
  dependencies.userService = users_;
  dependencies.connectionService = connection_;
  dependencies.rateUsService = rateUs_;
  dependencies.adsConsentService = consent_;
  dependencies.reporting =
      reporting_ ? std::shared_ptr<QVReporting>(reporting_) : options.reporting;
  dependencies.storage = storage_;
  dependencies.freeUseService = freeUse_;
  ads_ = AdsService::create(std::move(dependencies));
  if (options.integration) options.integration(ads_->checkIntegration());
  summary_.seed = options.seed;
}

void SandboxSession::narrate(std::string_view text) const {
  if (!options_.narrator) return;
  options_.narrator(SandboxNarration::stamp(now().timeIntervalSince(start_)).append(text));
}

void SandboxSession::after(Platform::TimeInterval delay, Step step) {
  environment_.mainQueue().asyncAfter(delay, [weak = weak_from_this(), step] {
    auto self = weak.lock();
    if (self && !self->stopped_) ((*self).*step)();
  });
}

void SandboxSession::afterUserAction(Platform::TimeInterval delay, Step step) {
  environment_.mainQueue().asyncAfter(delay, [weak = weak_from_this(), step] {
    auto self = weak.lock();
    if (self && !self->stopped_) self->whenScreenIsFree(step, kBusyRetries);
  });
}

void SandboxSession::whenScreenIsFree(Step step, int retries) {
  if (onScreen_ == 0 || retries == 0) {
    (this->*step)();
    return;
  }
  environment_.mainQueue().asyncAfter(kBusyRetry, [weak = weak_from_this(), step, retries] {
    auto self = weak.lock();
    if (self && !self->stopped_) self->whenScreenIsFree(step, retries - 1);
  });
}

void SandboxSession::start() {
  auto weak = weak_from_this();
  // Taken back to the main queue as tasks of their own: they may arrive in the middle of a call
  // into the ads service or the consent service.
  if (auto stream = ads_->appLaunchIsLoadingAdStream()) {
    stream
        ->subscribe([weak, this](bool loading) {
          environment_.mainQueue().async([weak, loading] {
            if (auto self = weak.lock(); self && !self->stopped_) {
              self->appLaunchLoadingChanged(loading);
            }
          });
        })
        .disposed(bag_);
  }
  consent_->gdprConsentFormStream()
      .subscribe([weak](const std::shared_ptr<QVRConsentForm>& form) {
        if (auto self = weak.lock(); self && !self->stopped_) self->consentFormChanged(form);
      })
      .disposed(bag_);

  narrate("app launch: start-up run 1 (consent, configuration, networks, ads)");
  startRun(true);
  scheduleLaunchTimeout();
}

void SandboxSession::stop() {
  stopped_ = true;
  bag_ = Rx::DisposeBag();
}

SandboxHostSummary SandboxSession::summary() const {
  SandboxHostSummary result = summary_;
  result.simulatedSeconds = now().timeIntervalSince(start_);
  result.personalizedAds = consent_->gdprConsentAccepted();
  if (reporting_) {
    result.networks = reporting_->networks();
    result.events = reporting_->events();
  }
  result.adsPauseRemaining = pauseRemaining();
  return result;
}

void SandboxSession::startRun(bool shouldLoadGDPR) {
  ++summary_.runs;
  ads_->checkConsentAndLoadAds(shouldLoadGDPR);
}

// MARK: Launch

void SandboxSession::consentFormChanged(const std::shared_ptr<QVRConsentForm>& form) {
  if (!form || summary_.consentFormShown) return;
  summary_.consentFormShown = true;
  // Set at once: the run that loaded the form ends right after, and that end must not close the
  // launch screen. A launch screen that has already closed stays closed.
  if (launch_ == Launch::waitingForAd) {
    launch_ = Launch::consentForm;
    ++launchGeneration_;
  }
  environment_.mainQueue().async([weak = weak_from_this(), form] {
    if (auto self = weak.lock(); self && !self->stopped_) self->presentConsentForm(form);
  });
}

void SandboxSession::presentConsentForm(const std::shared_ptr<QVRConsentForm>& form) {
  narrate("consent form loaded -> shown to the user");
  form->presentFromViewController(
      root_, [weak = weak_from_this()](const std::optional<Platform::Error>& error) {
        auto self = weak.lock();
        if (!self || self->stopped_) return;
        self->summary_.consentFormAnswered = true;
        if (error) {
          self->narrate("consent form failed: " + error->localizedDescription);
        } else {
          self->narrate(std::string("consent form answered -> personalised ads ") +
                        (self->consent_->gdprConsentAccepted() ? "allowed" : "not allowed"));
        }
        self->narrate("start-up run 2");
        self->startRun(false);
        if (self->launch_ == Launch::consentForm) {
          self->launch_ = Launch::waitingForAd;
          self->scheduleLaunchTimeout();
        }
      });
}

void SandboxSession::appLaunchLoadingChanged(bool loading) {
  if (loading || launch_ != Launch::waitingForAd) return;
  finishLaunch("app launch");
}

void SandboxSession::scheduleLaunchTimeout() {
  const int generation = ++launchGeneration_;
  environment_.mainQueue().asyncAfter(profile_.appLaunchTimeout, [weak = weak_from_this(),
                                                                  generation] {
    auto self = weak.lock();
    if (!self || self->stopped_) return;
    if (self->launch_ == Launch::waitingForAd && self->launchGeneration_ == generation) {
      // The moment only names the launch in the narration.
      self->finishLaunch(self->narrating()
                             ? "app launch (gave up waiting after " +
                                   SandboxNarration::seconds(self->profile_.appLaunchTimeout) + ")"
                             : std::string());
    }
  });
}

// moment names the launch in the narration, with how its wait ended.
void SandboxSession::finishLaunch(const std::string& moment) {
  launch_ = Launch::done;
  ++launchGeneration_;
  const std::optional<AdsPlacement> placement = ads_->appLaunchPlacement();
  if (!placement) {
    if (narrating()) narrate(moment + " -> no application-start placement");
  } else if (!ads_->shouldShowAppLaunchAd()) {
    if (narrating()) narrate(moment + " -> no ad allowed");
  } else if (placement->interstitialPlacement()) {
    ++summary_.interstitials[InterstitialAdPlacement::appLaunch].granted;
    presentInterstitial(InterstitialAdPlacement::appLaunch, moment);
  } else if (auto appOpen = placement->appOpenPlacement()) {
    presentAppOpen(*appOpen, moment);
  }
  beginDisconnectedPeriod();
}

}  // namespace QVRAdKit::Sandbox
