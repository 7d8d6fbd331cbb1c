#pragma once
// SandboxSession is the host application and its user for one sandbox session: it makes the host
// services and the ads service, runs the start-up (presenting the consent form and starting a
// second run), then plays the user: connects and disconnects with their interstitials, the time
// wall's rewarded video (after which it may pause ads), trips away from the application and the
// main-screen app-open ad on return. Every step runs on the main queue; the user's next action is
// always a task due at a clock time, so the session is a chain of timers, each holding the session
// weakly. Launch and lifecycle are in SandboxSession.cpp, the user's script and the presenting of
// ads in SandboxSessionScript.cpp.
// Threading: main queue only. Made by SandboxHost::run, which drives the clock.

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/MersenneTwister64.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Sandbox/Config/SandboxAdsConfigProvider.h"
#include "Sandbox/Host/CountingReporting.h"
#include "Sandbox/Host/Presentation.h"
#include "Sandbox/Host/SandboxHostOptions.h"
#include "Sandbox/Host/SandboxHostSummary.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxFreeUseService.h"
#include "Sandbox/HostServices/SandboxRateUsService.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteStorage.h"

namespace QVRAdKit::Sandbox {

class SandboxSession final : public std::enable_shared_from_this<SandboxSession> {
 public:
  SandboxSession(Platform::Environment& environment, const SandboxHostOptions& options,
                 const std::shared_ptr<SQLiteKeyValueStore>& store);

  void start();
  // Ends the subscriptions; tasks still queued find the session gone or stopped.
  void stop();
  [[nodiscard]] SandboxHostSummary summary() const;
  // What the ads service holds now (placements, ads, consent, pause); changes nothing.
  [[nodiscard]] AdsServiceSnapshot snapshot() const { return ads_->snapshot(); }

  // Whether the session narrates: texts that must be built are built only then.
  [[nodiscard]] bool narrating() const { return static_cast<bool>(options_.narrator); }
  void narrate(std::string_view text) const;
  void adLeftScreen() { onScreen_ = std::max(0, onScreen_ - 1); }
  // The time wall's video earned its reward: counts it and pauses ads as the profile says.
  void rewardEarned();

 private:
  enum class Launch { waitingForAd, consentForm, done };

  [[nodiscard]] Platform::Date now() const { return environment_.clock().now(); }
  double drawUnit() { return static_cast<double>(random_() >> 11) * 0x1.0p-53; }
  Platform::TimeInterval draw(const SandboxSessionProfile::Range& range) {
    return range.minimum + (range.maximum - range.minimum) * drawUnit();
  }
  bool chance(double probability) { return drawUnit() < probability; }

  using Step = void (SandboxSession::*)();
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

  // The ads service granted an interstitial of placement: presents it, or withholds it while the
  // ads pause lasts (the grant itself does not look at the pause).
  void granted(InterstitialAdPlacement placement, std::string_view moment);
  // Seconds left of the ads pause kept in storage; none when ads are not paused.
  [[nodiscard]] std::optional<Platform::TimeInterval> pauseRemaining() const;
  void presentInterstitial(InterstitialAdPlacement placement, std::string_view moment);
  void presentAppOpen(AppOpenAdPlacement placement, std::string_view moment);
  void keep(std::shared_ptr<Presentation> presentation, std::shared_ptr<void> ad);

  Platform::Environment& environment_;
  const SandboxHostOptions& options_;
  const SandboxSessionProfile profile_;
  const Platform::Date start_;
  Platform::MersenneTwister64 random_;

  std::shared_ptr<SandboxUserService> users_;
  std::shared_ptr<SandboxConnectionService> connection_;
  std::shared_ptr<SandboxRateUsService> rateUs_;
  std::shared_ptr<SandboxFreeUseService> freeUse_;
  std::shared_ptr<QVRAdsConsentServiceImpl> consent_;
  std::shared_ptr<CountingReporting> reporting_;  // none when the options count no events
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

}  // namespace QVRAdKit::Sandbox
