#include "Sandbox/Host/SandboxSession.h"

#include "Sandbox/Host/SandboxNarration.h"

namespace QVRAdKit::Sandbox {
namespace {

// Seconds between the tap on connect (or disconnect) and the tunnel being up (or down).
constexpr Platform::TimeInterval kTunnelDelay = 2;
// How long a user that taps disconnect while away takes to come back first.
constexpr Platform::TimeInterval kComeBackDelay = 5;

}  // namespace

void SandboxSession::beginDisconnectedPeriod() {
  const Platform::TimeInterval idle = draw(profile_.disconnected);
  if (chance(profile_.rewardedChance)) {
    afterUserAction(idle * (0.2 + 0.6 * drawUnit()), &SandboxSession::openTimewall);
  }
  afterUserAction(idle, &SandboxSession::connect);
}

void SandboxSession::beginConnectedPeriod() {
  Platform::TimeInterval connected = draw(profile_.connected);
  if (chance(profile_.backgroundChance)) {
    const Platform::TimeInterval leave = connected * (0.1 + 0.3 * drawUnit());
    away_ = draw(profile_.background);
    afterUserAction(leave, &SandboxSession::leaveApp);
    connected += away_;
  }
  afterUserAction(connected, &SandboxSession::disconnect);
}

void SandboxSession::connect() {
  // Asked while the tunnel is still down: that status calls for the connect interstitial.
  if (ads_->interstitialTypeToPresent() == InterstitialType::connect) {
    granted(InterstitialAdPlacement::connect, "connect");
  } else {
    narrate("connect -> no interstitial granted");
  }
  connection_->setStatus(QVVPNManagerStatus::connecting);
  after(kTunnelDelay, &SandboxSession::tunnelUp);
}

// The connected period starts once the tunnel is up: only then can the user disconnect.
void SandboxSession::tunnelUp() {
  connection_->setStatus(QVVPNManagerStatus::connected);
  narrate("vpn connected");
  beginConnectedPeriod();
}

void SandboxSession::disconnect() {
  // The user disconnects in the application: one that is away comes back first.
  if (backgroundSince_) {
    after(kComeBackDelay, &SandboxSession::disconnect);
    return;
  }
  if (ads_->interstitialTypeToPresent() == InterstitialType::disconnect) {
    granted(InterstitialAdPlacement::disconnect, "disconnect");
  } else {
    narrate("disconnect -> no interstitial granted");
  }
  connection_->setStatus(QVVPNManagerStatus::disconnecting);
  after(kTunnelDelay, &SandboxSession::tunnelDown);
}

void SandboxSession::tunnelDown() {
  connection_->setStatus(QVVPNManagerStatus::disconnected);
  narrate("vpn disconnected");
  beginDisconnectedPeriod();
}

void SandboxSession::openTimewall() {
  const std::shared_ptr<RewardedVideoAd> ad = ads_->rewardedAd(RewardedAdPlacement::timewall);
  if (!ad) {
    narrate("timewall -> no rewarded video allowed");
    return;
  }
  ++summary_.rewardedOffered;
  const std::string label = narrating() ? "timewall -> " + Presentation::describe(*ad) : "";
  if (!ad->isReady()) {
    // The time wall asks for another video; the user comes back to it another time.
    if (ad->isLoading()) {
      if (narrating()) narrate(label + " not ready, still loading");
    } else {
      if (narrating()) narrate(label + " not ready, loading again");
      ad->load();
    }
    return;
  }
  auto presentation = std::make_shared<RewardedPresentation>(
      weak_from_this(), label, [](SandboxSession& session) { ++session.summary_.rewardedShown; },
      [](SandboxSession& session) { session.rewardEarned(); });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

void SandboxSession::leaveApp() {
  backgroundSince_ = now();
  environment_.application().setApplicationState(Platform::ApplicationState::background);
  narrate("app to background");
  after(away_, &SandboxSession::returnToApp);
}

void SandboxSession::returnToApp() {
  if (!backgroundSince_) return;
  const Platform::TimeInterval away = now().timeIntervalSince(*backgroundSince_);
  backgroundSince_.reset();
  environment_.application().setApplicationState(Platform::ApplicationState::active);
  if (narrating()) narrate("app active again after " + SandboxNarration::seconds(away));
  // A short trip away does not earn the main-screen ad.
  if (away < ads_->appOpenAdTimeout()) return;
  presentAppOpen(AppOpenAdPlacement::main, "return to app");
}

// MARK: Presenting

void SandboxSession::rewardEarned() {
  ++summary_.rewardsEarned;
  if (profile_.pauseAfterReward <= 0) return;
  ads_->pauseAds(profile_.pauseAfterReward);
  if (narrating())
    narrate("ads paused for " + SandboxNarration::seconds(profile_.pauseAfterReward));
}

std::optional<Platform::TimeInterval> SandboxSession::pauseRemaining() const {
  const auto until = storage_->read<Platform::Date>(AdsService::kAdsPausedTillDateKey);
  if (!until || !(now() < *until)) return std::nullopt;
  return until->timeIntervalSince(now());
}

void SandboxSession::granted(InterstitialAdPlacement placement, std::string_view moment) {
  if (const auto remaining = pauseRemaining()) {
    ++summary_.interstitials[placement].withheld;
    if (narrating()) {
      narrate(std::string(moment) + " -> interstitial granted, withheld: ads paused for another " +
              SandboxNarration::seconds(*remaining));
    }
    return;
  }
  ++summary_.interstitials[placement].granted;
  presentInterstitial(placement, moment);
}

void SandboxSession::presentInterstitial(InterstitialAdPlacement placement,
                                         std::string_view moment) {
  const std::shared_ptr<InterstitialAd> ad = ads_->interstitialAd(placement);
  if (!ad) {
    if (narrating()) narrate(std::string(moment) + " -> interstitial not ready");
    return;
  }
  ++summary_.interstitials[placement].handedOut;
  auto presentation = std::make_shared<InterstitialPresentation>(
      weak_from_this(),
      narrating() ? std::string(moment) + " -> " + Presentation::describe(*ad) : "",
      [placement](SandboxSession& session) { ++session.summary_.interstitials[placement].shown; });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

void SandboxSession::presentAppOpen(AppOpenAdPlacement placement, std::string_view moment) {
  ++summary_.appOpenWanted[placement];
  const std::shared_ptr<AppOpenAd> ad = ads_->appOpenAd(placement);
  if (!ad) {
    if (narrating()) narrate(std::string(moment) + " -> app-open ad not ready");
    return;
  }
  auto presentation = std::make_shared<AppOpenPresentation>(
      weak_from_this(),
      narrating() ? std::string(moment) + " -> " + Presentation::describe(*ad) : "",
      [placement](SandboxSession& session) { ++session.summary_.appOpenShown[placement]; });
  ad->setDelegate(presentation);
  keep(presentation, ad);
  ad->present(root_);
}

// The ads hold their delegates weakly, and the networks hold the ads weakly: the host keeps both
// until the presentation has ended.
void SandboxSession::keep(std::shared_ptr<Presentation> presentation, std::shared_ptr<void> ad) {
  std::erase_if(presentations_, [](const auto& kept) { return kept->finished(); });
  presentation->hold(std::move(ad));
  presentations_.push_back(std::move(presentation));
  ++onScreen_;
}

}  // namespace QVRAdKit::Sandbox
