#include "Sandbox/Host/SandboxHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <variant>
#include <vector>

#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobRewardedVideoAd.h"
#include "QVRAdKit/Ads/AppOpenAdDelegate.h"
#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/UUID.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "Sandbox/Config/SandboxAdsConfigProvider.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxFreeUseService.h"
#include "Sandbox/HostServices/SandboxRateUsService.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Storage/SQLiteStorage.h"
#include "Sandbox/Storage/SQLiteUserDefaults.h"

namespace QVRAdKit::Sandbox {
namespace {

// Seconds between the tap on connect (or disconnect) and the tunnel being up (or down).
constexpr Platform::TimeInterval kTunnelDelay = 2;
// How often a user action that finds an ad on screen looks again, and for how long at most.
constexpr Platform::TimeInterval kBusyRetry = 5;
constexpr int kBusyRetries = 24;

// Independent seeds for the simulators and the user from the one seed (SplitMix64), so that a
// change in how often one of them draws does not shift the others.
std::uint64_t derivedSeed(std::uint64_t seed, std::uint64_t stream) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull * (stream + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

class SilentLogger final : public QVLogger {
 public:
  void log(LogFlag, std::string_view, std::string_view, std::string_view, int) override {}
  void assertionFailure(std::string_view, std::string_view, std::string_view, int) override {}
};

// Hands every analytics event on to the host's sink and adds up what the summary reports.
// Main queue only, like the module's reporters.
class CountingReporting final : public QVReporting {
 public:
  explicit CountingReporting(std::shared_ptr<QVReporting> sink) : sink_(std::move(sink)) {}

  void track(const ReportingObject& event) override {
    ++events_;
    const bool requested = event.name == "ad_requested";
    const bool loaded = event.name == "ad_loaded";
    if (requested || loaded) {
      const auto* source = event.parameter("source");
      const auto* name = source ? std::get_if<std::string>(source) : nullptr;
      SandboxHostSummary::Network& network = networks_[name ? *name : std::string("unknown")];
      if (requested) {
        ++network.requests;
      } else {
        const auto* code = event.parameter("error_code");
        const auto* value = code ? std::get_if<std::int64_t>(code) : nullptr;
        ++(value && *value != 0 ? network.failures : network.loads);
      }
    }
    if (sink_) sink_->track(event);
  }

  [[nodiscard]] std::int64_t events() const { return events_; }
  [[nodiscard]] const std::map<std::string, SandboxHostSummary::Network>& networks() const {
    return networks_;
  }

 private:
  std::shared_ptr<QVReporting> sink_;
  std::int64_t events_ = 0;
  std::map<std::string, SandboxHostSummary::Network> networks_;
};

std::string describe(InterstitialAd& ad) {
  if (auto* admob = dynamic_cast<AdmobInterstitialAd*>(&ad)) {
    return "interstitial (adMob, unit " + admob->adUnitID() + ")";
  }
  if (auto* ironSource = dynamic_cast<IronSourceInterstitialAd*>(&ad)) {
    return "interstitial (ironSource, placement " + ironSource->adUnitID() + ")";
  }
  return "interstitial";
}

std::string describe(AppOpenAd& ad) {
  if (auto* admob = dynamic_cast<AdmobAppOpenAd*>(&ad)) {
    return "app-open ad (adMob, unit " + admob->adUnitID() + ")";
  }
  return "app-open ad";
}

std::string describe(RewardedVideoAd& ad) {
  if (dynamic_cast<IronSourceRewardedVideoAd*>(&ad) != nullptr) {
    return "rewarded video (ironSource)";
  }
  return "rewarded video (adMob, unit " + ad.adUnitID() + ")";
}

class Session;

// One full-screen ad on its way to the screen, followed through its delegate: narrates the
// opening and the end of the presentation once each and tells the session when the screen is
// free again. Later callbacks (a reload reported to a closed IronSource ad) are ignored.
class Presentation {
 public:
  // opened is called with the session when the ad opens, to count it.
  using Count = std::function<void(Session&)>;

  Presentation(std::weak_ptr<Session> session, std::string label, Count opened)
      : session_(std::move(session)), label_(std::move(label)), opened_(std::move(opened)) {}
  virtual ~Presentation() = default;
  Presentation(const Presentation&) = delete;
  Presentation& operator=(const Presentation&) = delete;

  [[nodiscard]] bool finished() const { return finished_; }
  // The host holds the ad it presents until the presentation is over (and a little beyond: the
  // ad is released once a later presentation prunes this one, never inside its own callback).
  void hold(std::shared_ptr<void> ad) { ad_ = std::move(ad); }

 protected:
  void didOpen();
  void didClose();
  void didFail(const std::string& what);
  [[nodiscard]] const std::weak_ptr<Session>& session() const { return session_; }
  [[nodiscard]] const std::string& label() const { return label_; }

 private:
  std::weak_ptr<Session> session_;
  std::string label_;
  Count opened_;
  std::shared_ptr<void> ad_;
  bool hasOpened_ = false;
  bool finished_ = false;
};

class InterstitialPresentation final : public Presentation, public InterstitialAdDelegate {
 public:
  using Presentation::Presentation;
  void interstitialAdDidOpen(InterstitialAd&) override { didOpen(); }
  void interstitialAdWillClose(InterstitialAd&) override {}
  void interstitialAdDidClose(InterstitialAd&) override { didClose(); }
  void interstitialAdDidFail(InterstitialAd&) override { didFail("failed"); }
  void interstitialAdDidFailToShow(InterstitialAd&) override { didFail("failed to show"); }
};

class AppOpenPresentation final : public Presentation, public AppOpenAdDelegate {
 public:
  using Presentation::Presentation;
  void appOpenAdDidOpen(AppOpenAd&) override { didOpen(); }
  void appOpenAdDidClose(AppOpenAd&) override { didClose(); }
  void appOpenAdDidFailToPresent(AppOpenAd&) override { didFail("failed to present"); }
};

class RewardedPresentation final : public Presentation, public RewardedVideoAdDelegate {
 public:
  RewardedPresentation(std::weak_ptr<Session> session, std::string label, Count opened,
                       Count rewarded)
      : Presentation(std::move(session), std::move(label), std::move(opened)),
        rewarded_(std::move(rewarded)) {}

  void rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) override;
  // Loads are followed through analytics, not here.
  void rewardedVideoAdDidStartLoading(RewardedVideoAd&) override {}
  void rewardedVideoAdDidLoad(RewardedVideoAd&) override {}
  void rewardedVideoAdDidFailToLoad(RewardedVideoAd&, const Platform::Error&) override {}
  void rewardedVideoAdDidOpen(RewardedVideoAd&) override { didOpen(); }
  void rewardedVideoAdDidFailToPresent(RewardedVideoAd&, const Platform::Error& error) override {
    didFail("failed to present: " + error.localizedDescription);
  }
  void rewardedVideoAdDidClose(RewardedVideoAd&) override { didClose(); }

 private:
  Count rewarded_;
};

// The host application and its user for one session. Every step runs on the main queue; the
// user's next action is always a task due at a clock time, so the session is a chain of timers.
class Session final : public std::enable_shared_from_this<Session> {
 public:
  Session(Platform::Environment& environment, const SandboxHostOptions& options,
          const std::shared_ptr<SQLiteKeyValueStore>& store);

  void start();
  // Ends the subscriptions; tasks still queued find the session gone or stopped.
  void stop();
  [[nodiscard]] SandboxHostSummary summary() const;

  void narrate(const std::string& text) const;
  void adLeftScreen() { onScreen_ = std::max(0, onScreen_ - 1); }

 private:
  enum class Launch { waitingForAd, consentForm, done };

  [[nodiscard]] Platform::Date now() const { return environment_.clock().now(); }
  double drawUnit() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }
  Platform::TimeInterval draw(const SandboxSessionProfile::Range& range) {
    return range.minimum + (range.maximum - range.minimum) * drawUnit();
  }
  bool chance(double probability) { return drawUnit() < probability; }

  using Step = void (Session::*)();
  // Runs step on the main queue after delay, while the session lives and has not stopped.
  void after(Platform::TimeInterval delay, Step step);
  // As after(), for a tap of the user: it waits until no ad is on screen (the user cannot tap
  // through an ad), looking again every few seconds, for two minutes at most.
  void afterUserAction(Platform::TimeInterval delay, Step step);
  void whenScreenIsFree(Step step, int retries);

  void startRun(bool shouldLoadGDPR);
  void consentFormChanged(const std::shared_ptr<QVRConsentForm>& form);
  void presentConsentForm(const std::shared_ptr<QVRConsentForm>& form);
  void appLaunchLoadingChanged(bool loading);
  void scheduleLaunchTimeout();
  void finishLaunch(const std::string& moment);

  void beginDisconnectedPeriod();
  void beginConnectedPeriod();
  void connect();
  void tunnelUp();
  void disconnect();
  void tunnelDown();
  void openTimewall();
  void leaveApp();
  void returnToApp();

  void presentInterstitial(InterstitialAdPlacement placement, const std::string& moment);
  void presentAppOpen(AppOpenAdPlacement placement, const std::string& moment);
  void keep(std::shared_ptr<Presentation> presentation, std::shared_ptr<void> ad);

  Platform::Environment& environment_;
  const SandboxHostOptions& options_;
  const SandboxSessionProfile profile_;
  const Platform::Date start_;
  std::mt19937_64 random_;

  std::shared_ptr<SandboxUserService> users_;
  std::shared_ptr<SandboxConnectionService> connection_;
  std::shared_ptr<SandboxRateUsService> rateUs_;
  std::shared_ptr<SandboxFreeUseService> freeUse_;
  std::shared_ptr<QVRAdsConsentServiceImpl> consent_;
  std::shared_ptr<CountingReporting> reporting_;
  std::shared_ptr<SQLiteStorage> storage_;
  std::shared_ptr<SandboxAdsConfigProvider> configProvider_;
  std::shared_ptr<AdsService> ads_;
  const std::shared_ptr<Platform::ViewController> root_ =
      std::make_shared<Platform::ViewController>("root");

  SandboxHostSummary summary_;
  Launch launch_ = Launch::waitingForAd;
  int launchGeneration_ = 0;
  int onScreen_ = 0;
  bool stopped_ = false;
  std::optional<Platform::Date> backgroundSince_;
  // How long the user stays away the next time they leave the application.
  Platform::TimeInterval away_ = 0;
  std::vector<std::shared_ptr<Presentation>> presentations_;
  Rx::DisposeBag bag_;
};

void Presentation::didOpen() {
  if (finished_ || hasOpened_) return;
  hasOpened_ = true;
  if (auto session = session_.lock()) {
    if (opened_) opened_(*session);
    session->narrate(label_ + " opened");
  }
}

void Presentation::didClose() {
  if (finished_) return;
  finished_ = true;
  if (auto session = session_.lock()) {
    session->narrate(label_ + " closed");
    session->adLeftScreen();
  }
}

void Presentation::didFail(const std::string& what) {
  if (finished_) return;
  finished_ = true;
  if (auto session = session_.lock()) {
    session->narrate(label_ + " " + what);
    session->adLeftScreen();
  }
}

void RewardedPresentation::rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) {
  if (finished()) return;
  if (auto session = this->session().lock()) {
    if (rewarded_) rewarded_(*session);
    session->narrate(label() + " rewarded " + ad.getRewardValue().stringValue() + " " +
                     ad.getRewardType());
  }
}

Session::Session(Platform::Environment& environment, const SandboxHostOptions& options,
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
      consent_(QVRAdsConsentServiceImpl::create()),
      reporting_(std::make_shared<CountingReporting>(options.reporting)),
      storage_(std::make_shared<SQLiteStorage>(store)),
      configProvider_(std::make_shared<SandboxAdsConfigProvider>(options.configuration.ads)) {
  // Ads are created on this thread while it drains the main queue; a seeded generator gives them
  // the same uuids on every run with the same seed.
  Platform::UUID::seedCurrentThread(derivedSeed(options.seed, 4));
  ads_ = AdsService::create(configProvider_, users_, connection_, rateUs_, consent_, reporting_,
                            storage_, freeUse_, /*adsPauseConfigProvider=*/nullptr);
  summary_.seed = options.seed;
}

void Session::narrate(const std::string& text) const {
  if (!options_.narrator) return;
  const auto elapsed = static_cast<long long>(std::floor(now().timeIntervalSince(start_)));
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%02lld:%02lld:%02lld] ", elapsed / 3600, elapsed / 60 % 60,
                elapsed % 60);
  options_.narrator(stamp + text);
}

void Session::after(Platform::TimeInterval delay, Step step) {
  environment_.mainQueue().asyncAfter(delay, [weak = weak_from_this(), step] {
    auto self = weak.lock();
    if (self && !self->stopped_) ((*self).*step)();
  });
}

void Session::afterUserAction(Platform::TimeInterval delay, Step step) {
  environment_.mainQueue().asyncAfter(delay, [weak = weak_from_this(), step] {
    auto self = weak.lock();
    if (self && !self->stopped_) self->whenScreenIsFree(step, kBusyRetries);
  });
}

void Session::whenScreenIsFree(Step step, int retries) {
  if (onScreen_ == 0 || retries == 0) {
    (this->*step)();
    return;
  }
  environment_.mainQueue().asyncAfter(kBusyRetry, [weak = weak_from_this(), step, retries] {
    auto self = weak.lock();
    if (self && !self->stopped_) self->whenScreenIsFree(step, retries - 1);
  });
}

void Session::start() {
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

void Session::stop() {
  stopped_ = true;
  bag_ = Rx::DisposeBag();
}

SandboxHostSummary Session::summary() const {
  SandboxHostSummary result = summary_;
  result.simulatedSeconds = now().timeIntervalSince(start_);
  result.personalizedAds = consent_->gdprConsentAccepted();
  result.networks = reporting_->networks();
  result.events = reporting_->events();
  return result;
}

void Session::startRun(bool shouldLoadGDPR) {
  ++summary_.runs;
  ads_->checkConsentAndLoadAds(shouldLoadGDPR);
}

// MARK: Launch

void Session::consentFormChanged(const std::shared_ptr<QVRConsentForm>& form) {
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

void Session::presentConsentForm(const std::shared_ptr<QVRConsentForm>& form) {
  narrate("consent form loaded -> shown to the user");
  form->presentFromViewController(
      root_, [weak = weak_from_this()](const std::optional<Platform::Error>& error) {
        auto self = weak.lock();
        if (!self || self->stopped_) return;
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

void Session::appLaunchLoadingChanged(bool loading) {
  if (loading || launch_ != Launch::waitingForAd) return;
  finishLaunch("app launch");
}

void Session::scheduleLaunchTimeout() {
  const int generation = ++launchGeneration_;
  environment_.mainQueue().asyncAfter(profile_.appLaunchTimeout, [weak = weak_from_this(),
                                                                  generation] {
    auto self = weak.lock();
    if (!self || self->stopped_) return;
    if (self->launch_ == Launch::waitingForAd && self->launchGeneration_ == generation) {
      self->finishLaunch("app launch (gave up waiting after " +
                         std::to_string(static_cast<int>(self->profile_.appLaunchTimeout)) + "s)");
    }
  });
}

// moment names the launch in the narration, with how its wait ended.
void Session::finishLaunch(const std::string& moment) {
  launch_ = Launch::done;
  ++launchGeneration_;
  const std::optional<AdsPlacement> placement = ads_->appLaunchPlacement();
  if (!placement) {
    narrate(moment + " -> no application-start placement");
  } else if (!ads_->shouldShowAppLaunchAd()) {
    narrate(moment + " -> no ad allowed");
  } else if (placement->interstitialPlacement()) {
    ++summary_.interstitials[InterstitialAdPlacement::appLaunch].granted;
    presentInterstitial(InterstitialAdPlacement::appLaunch, moment);
  } else if (auto appOpen = placement->appOpenPlacement()) {
    presentAppOpen(*appOpen, moment);
  }
  beginDisconnectedPeriod();
}

// MARK: The user's session

void Session::beginDisconnectedPeriod() {
  const Platform::TimeInterval idle = draw(profile_.disconnected);
  if (chance(profile_.rewardedChance)) {
    afterUserAction(idle * (0.2 + 0.6 * drawUnit()), &Session::openTimewall);
  }
  afterUserAction(idle, &Session::connect);
}

void Session::beginConnectedPeriod() {
  Platform::TimeInterval connected = draw(profile_.connected);
  if (chance(profile_.backgroundChance)) {
    const Platform::TimeInterval leave = connected * (0.1 + 0.3 * drawUnit());
    away_ = draw(profile_.background);
    afterUserAction(leave, &Session::leaveApp);
    connected += away_;
  }
  afterUserAction(connected, &Session::disconnect);
}

void Session::connect() {
  // Asked while the tunnel is still down: that status calls for the connect interstitial.
  if (ads_->interstitialTypeToPresent() == InterstitialType::connect) {
    ++summary_.interstitials[InterstitialAdPlacement::connect].granted;
    presentInterstitial(InterstitialAdPlacement::connect, "connect");
  } else {
    narrate("connect -> no interstitial granted");
  }
  connection_->setStatus(QVVPNManagerStatus::connecting);
  after(kTunnelDelay, &Session::tunnelUp);
}

// The connected period starts once the tunnel is up: only then can the user disconnect.
void Session::tunnelUp() {
  connection_->setStatus(QVVPNManagerStatus::connected);
  narrate("vpn connected");
  beginConnectedPeriod();
}

void Session::disconnect() {
  // The user disconnects in the application: one that is away comes back first.
  if (backgroundSince_) {
    after(kBusyRetry, &Session::disconnect);
    return;
  }
  if (ads_->interstitialTypeToPresent() == InterstitialType::disconnect) {
    ++summary_.interstitials[InterstitialAdPlacement::disconnect].granted;
    presentInterstitial(InterstitialAdPlacement::disconnect, "disconnect");
  } else {
    narrate("disconnect -> no interstitial granted");
  }
  connection_->setStatus(QVVPNManagerStatus::disconnecting);
  after(kTunnelDelay, &Session::tunnelDown);
}

void Session::tunnelDown() {
  connection_->setStatus(QVVPNManagerStatus::disconnected);
  narrate("vpn disconnected");
  beginDisconnectedPeriod();
}

void Session::openTimewall() {
  const std::shared_ptr<RewardedVideoAd> ad = ads_->rewardedAd(RewardedAdPlacement::timewall);
  if (!ad) {
    narrate("timewall -> no rewarded video allowed");
    return;
  }
  ++summary_.rewardedOffered;
  const std::string label = "timewall -> " + describe(*ad);
  if (!ad->isReady()) {
    // The time wall asks for another video; the user comes back to it another time.
    if (ad->isLoading()) {
      narrate(label + " not ready, still loading");
    } else {
      narrate(label + " not ready, loading again");
      ad->load();
    }
    return;
  }
  auto presentation = std::make_shared<RewardedPresentation>(
      weak_from_this(), label, [](Session& session) { ++session.summary_.rewardedShown; },
      [](Session& session) { ++session.summary_.rewardsEarned; });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

void Session::leaveApp() {
  backgroundSince_ = now();
  environment_.application().setApplicationState(Platform::ApplicationState::background);
  narrate("app to background");
  after(away_, &Session::returnToApp);
}

void Session::returnToApp() {
  if (!backgroundSince_) return;
  const Platform::TimeInterval away = now().timeIntervalSince(*backgroundSince_);
  backgroundSince_.reset();
  environment_.application().setApplicationState(Platform::ApplicationState::active);
  narrate("app active again after " + std::to_string(static_cast<int>(away)) + "s");
  // A short trip away does not earn the main-screen ad.
  if (away < ads_->appOpenAdTimeout()) return;
  presentAppOpen(AppOpenAdPlacement::main, "return to app");
}

// MARK: Presenting

void Session::presentInterstitial(InterstitialAdPlacement placement, const std::string& moment) {
  const std::shared_ptr<InterstitialAd> ad = ads_->interstitialAd(placement);
  if (!ad) {
    narrate(moment + " -> interstitial not ready");
    return;
  }
  ++summary_.interstitials[placement].handedOut;
  auto presentation = std::make_shared<InterstitialPresentation>(
      weak_from_this(), moment + " -> " + describe(*ad),
      [placement](Session& session) { ++session.summary_.interstitials[placement].shown; });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

void Session::presentAppOpen(AppOpenAdPlacement placement, const std::string& moment) {
  ++summary_.appOpenWanted[placement];
  const std::shared_ptr<AppOpenAd> ad = ads_->appOpenAd(placement);
  if (!ad) {
    narrate(moment + " -> app-open ad not ready");
    return;
  }
  auto presentation = std::make_shared<AppOpenPresentation>(
      weak_from_this(), moment + " -> " + describe(*ad),
      [placement](Session& session) { ++session.summary_.appOpenShown[placement]; });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

// The ads hold their delegates weakly, and the networks hold the ads weakly: the host keeps both
// until the presentation has ended.
void Session::keep(std::shared_ptr<Presentation> presentation, std::shared_ptr<void> ad) {
  std::erase_if(presentations_, [](const auto& kept) { return kept->finished(); });
  presentation->hold(std::move(ad));
  presentations_.push_back(std::move(presentation));
  ++onScreen_;
}

// MARK: Driving the clock

// Runs everything that is due now, the background executor's work included, until nothing more
// is: a background task may post to the main queue and a main-queue task to the background.
void settle(Platform::Environment& environment) {
  for (;;) {
    environment.background().waitUntilIdle();
    if (environment.mainQueue().runUntilIdle() == 0) return;
  }
}

// Moves the clock to each pending task's due date in turn, settling at each, and ends at end.
// The clock stands still while background work runs, so what that work reads of it, and so every
// draw the simulators make, is the same from one run to the next.
void advanceTo(Platform::Environment& environment, Platform::ManualClock& clock,
               Platform::Date end) {
  settle(environment);
  for (auto due = environment.mainQueue().nextDueDate(); due && *due <= end;
       due = environment.mainQueue().nextDueDate()) {
    if (*due > clock.now()) clock.set(*due);
    settle(environment);
  }
  if (end > clock.now()) clock.set(end);
  settle(environment);
}

}  // namespace

Platform::Expected<SandboxHostSummary> SandboxHost::run(const SandboxHostOptions& options) {
  auto store = SQLiteKeyValueStore::open(options.storagePath);
  if (!store) return store.error();

  auto clock = std::make_shared<Platform::ManualClock>();
  Platform::Environment::Options environmentOptions;
  environmentOptions.manualClock = clock;
  environmentOptions.userDefaults = std::make_shared<SQLiteUserDefaults>(*store);
  auto environment = std::make_unique<Platform::Environment>(std::move(environmentOptions));
  // This thread only: several sessions may run at once, each on a thread of its own.
  Platform::Environment::Scope scope(*environment, Platform::Environment::Scope::Reach::thisThread);

  environment->setService<QVLogger>(options.logger ? options.logger
                                                   : std::make_shared<SilentLogger>());

  const SandboxConfiguration& configuration = options.configuration;
  auto googleMobileAds = configuration.googleMobileAds;
  googleMobileAds.seed = derivedSeed(options.seed, 1);
  SimulatedGoogleMobileAds::install(*environment, std::move(googleMobileAds));
  auto ironSource = configuration.ironSource;
  ironSource.seed = derivedSeed(options.seed, 2);
  SimulatedIronSource::create(std::move(ironSource))->install(*environment);
  SimulatedConsentPlatform::create(configuration.consent)->install(*environment);
  std::make_shared<RecordingMetaDataStore>()->install(*environment);

  SandboxHostSummary summary;
  {
    auto session = std::make_shared<Session>(*environment, options, *store);
    session->start();
    advanceTo(*environment, *clock,
              clock->now().addingTimeInterval(std::max(0.0, options.duration)));
    summary = session->summary();
    if (options.atEnd) options.atEnd(*environment);
    session->stop();
  }
  return summary;
}

}  // namespace QVRAdKit::Sandbox
