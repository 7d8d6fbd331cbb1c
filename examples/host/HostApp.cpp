#include "HostApp.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "QVRAdKit/Banner/BannerAdBuilder.h"
#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/ClientKit/TextStyle.h"
#include "QVRAdKit/ClientKit/ViewStyle.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"
#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/UI/Color.h"
#include "QVRAdKit/UI/Font.h"

namespace ExampleHost {
namespace {

using namespace QVRAdKit;

// A free user with one partner ad, which the banner shows.
QVUserPtr signedInUser() {
  auto offer =
      std::make_shared<PartnerAd>(Platform::URL::string("https://partner.example/offer").value(),
                                  Platform::URL::string("https://partner.example/icon.png").value(),
                                  "Keep your passwords safe", "Three months free with our partner");
  return std::make_shared<AppUser>(/*premium=*/false,
                                   std::vector<std::shared_ptr<const QVPartnerAd>>{offer});
}

// The banner's base look, as the app's design kit would give it.
BannerAdViewStyle bannerStyle() {
  TextStyle title;
  title.font = UI::Font::system(15, UI::Font::Weight::semibold);
  title.textColor = UI::Color::rgb(0x101828);
  TextStyle subtitle;
  subtitle.font = UI::Font::system(13);
  subtitle.textColor = UI::Color::rgb(0x667085);
  ViewStyle card;
  card.backgroundColor = UI::Color::white();
  return BannerAdViewStyle(title, subtitle, UI::Image{"close", {24, 24}},
                           UI::Image{"placeholder", {72, 44}}, card, std::nullopt);
}

std::string describe(const UI::Rect& frame) {
  char text[64];
  std::snprintf(text, sizeof text, "(%.0f, %.0f) %.0f x %.0f", frame.minX(), frame.minY(),
                frame.width(), frame.height());
  return text;
}

}  // namespace

HostApp::HostApp(Platform::Environment& environment, std::shared_ptr<CountingAnalytics> analytics)
    : environment_(environment),
      launchedAt_(environment.clock().now()),
      analytics_(std::move(analytics)),
      users_(std::make_shared<UserService>(signedInUser())),
      connection_(std::make_shared<VpnConnection>()) {
  // The app's services, by name; this app has no free-use period and no pause switches, which
  // are the two optional ones.
  AdsService::Dependencies dependencies;
  dependencies.environment = &environment_;  // everything the service builds runs in it
  dependencies.configProvider = std::make_shared<AdsConfiguration>(AdsConfiguration::adMobOnly());
  dependencies.userService = users_;
  dependencies.connectionService = connection_;
  dependencies.rateUsService = std::make_shared<RateUsPrompt>();
  // Kept: a run that ends with a consent form waiting leaves it with the consent service.
  consentService_ = QVRAdsConsentServiceImpl::create(environment_);
  dependencies.adsConsentService = consentService_;
  dependencies.reporting = analytics_;
  dependencies.storage = std::make_shared<MemoryStorage>();
  ads_ = AdsService::create(std::move(dependencies));
}

void HostApp::launch(std::function<void()> finished) {
  finished_ = std::move(finished);
  narrate("app launched");
  showPartnerBanner();
  // The launch screen waits for the application-start ad: this stream says false once a start-up
  // run has ended and that ad has stopped loading (at once here: this app configures none). It
  // may come in the middle of a call into the service, so the app takes it up on a turn of its own.
  if (auto launchAdLoading = ads_->appLaunchIsLoadingAdStream()) {
    launchAdLoading
        ->subscribe([weak = weak_from_this(), queue = &environment_.mainQueue()](bool loading) {
          if (loading) return;
          queue->async([weak] {
            if (auto self = weak.lock()) self->adsStarted();
          });
        })
        .disposed(bag_);
  }
  ads_->checkConsentAndLoadAds(/*shouldLoadGDPR=*/true);
}

void HostApp::showPartnerBanner() {
  auto partnerAds = PartnerAdsProvider::create(users_, connection_);
  banner_ = BannerAdBuilder(environment_, partnerAds).buildBannerAd(shared_from_this());
  banner_->apply(bannerStyle());
  // The banner says how tall it must be at its width, and the app sizes it from that: on a turn
  // of its own, because the height is published in the middle of a layout pass.
  banner_->requiredHeightObservable()
      .subscribe([weak = weak_from_this(), queue = &environment_.mainQueue()](double height) {
        queue->async([weak, height] {
          if (auto self = weak.lock()) self->layOutBanner(height);
        });
      })
      .disposed(bag_);
  banner_->setFrame({{0, 0}, {kScreenWidth, 0}});
  banner_->layoutIfNeeded();
}

void HostApp::layOutBanner(double height) {
  if (height <= 0 || height == banner_->frame().height()) return;
  banner_->setFrame({{0, 0}, {kScreenWidth, height}});
  banner_->layoutIfNeeded();
  std::string text = "banner laid out at ";
  text.append(describe(banner_->frame()))
      .append(": image ")
      .append(describe(banner_->imageView()->frame()))
      .append(", title ")
      .append(describe(banner_->titleLabel()->frame()))
      .append(", subtitle ")
      .append(describe(banner_->subtitleLabel()->frame()))
      .append(", close button ")
      .append(describe(banner_->closeButton()->frame()));
  narrate(text);
}

void HostApp::bannerAdDidChangeVisibility(bool isHidden) {
  narrate(isHidden ? "banner hidden: no partner ad to show" : "banner shows the user's partner ad");
}

void HostApp::adsStarted() {
  if (std::exchange(adsStarted_, true)) return;
  narrate("start-up run ended: consent gathered, network started, ads loading");
  // Asked now that the configuration is in, the check looks only at the networks it names.
  const IntegrationReport report = ads_->checkIntegration();
  if (report.empty()) narrate("integration: nothing missing");
  for (const auto& issue : report.issues) narrate("integration " + issue.text());
  after(1, &HostApp::connect);
}

void HostApp::connect() {
  narrate("user taps connect");
  // Asked while the VPN is still disconnected: that status calls for the connect interstitial.
  // A grant starts the placement's interval, so the app presents what it was granted.
  const std::optional<InterstitialAdPlacement> granted =
      placement(ads_->interstitialTypeToPresent());
  if (!granted) {
    narrate("no interstitial now");
  } else if (auto ad = ads_->interstitialAd(*granted)) {
    interstitialOnScreen_ = ad;  // the service let go of it; the app keeps it until it closes
    ad->setDelegate(shared_from_this());
    ad->present(rootViewController_);
  } else {
    narrate("interstitial granted, but none is ready");
  }
  connection_->setStatus(QVVPNManagerStatus::connecting, ConnectionStatus::connecting);
  after(1, &HostApp::tunnelUp);
}

void HostApp::tunnelUp() {
  connection_->setStatus(QVVPNManagerStatus::connected, ConnectionStatus::connected);
  narrate("vpn connected");
  after(2, &HostApp::openTimewall);
}

void HostApp::interstitialAdDidOpen(InterstitialAd& /*ad*/) {
  narrate("interstitial shown");
}
void HostApp::interstitialAdDidClose(InterstitialAd& /*ad*/) {
  interstitialLeftScreen("closed");
}
void HostApp::interstitialAdDidFail(InterstitialAd& /*ad*/) {
  interstitialLeftScreen("failed");
}
void HostApp::interstitialAdDidFailToShow(InterstitialAd& /*ad*/) {
  interstitialLeftScreen("failed to show");
}

void HostApp::interstitialLeftScreen(const std::string& how) {
  narrate("interstitial " + how);
  // The ad is in the middle of its own callback: let go of it on a later turn.
  environment_.mainQueue().async([ad = std::move(interstitialOnScreen_)] {});
}

void HostApp::openTimewall() {
  narrate("user opens the time wall");
  const std::shared_ptr<RewardedVideoAd> ad = ads_->rewardedAd(RewardedAdPlacement::timewall);
  if (!ad || !ad->isReady()) {
    narrate(ad ? "rewarded video not ready" : "no rewarded video allowed");
    finish();
    return;
  }
  // The service keeps the rewarded ad (it is reused); the app only listens.
  ad->setDelegate(shared_from_this());
  ad->present(rootViewController_);
}

void HostApp::rewardedVideoAdDidOpen(RewardedVideoAd& /*ad*/) {
  narrate("rewarded video shown");
}

void HostApp::rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) {
  std::string text = "reward earned: ";
  text.append(ad.getRewardValue().stringValue()).append(" ").append(ad.getRewardType());
  narrate(text);
}

void HostApp::rewardedVideoAdDidFailToPresent(RewardedVideoAd& /*ad*/,
                                              const Platform::Error& error) {
  narrate("rewarded video failed to show: " + error.localizedDescription);
  finish();
}

void HostApp::rewardedVideoAdDidClose(RewardedVideoAd& /*ad*/) {
  narrate("rewarded video closed");
  finish();
}

void HostApp::finish() {
  narrate("session over");
  if (auto finished = std::exchange(finished_, nullptr)) finished();
}

void HostApp::after(double delay, Step step) {
  environment_.mainQueue().asyncAfter(delay, [weak = weak_from_this(), step] {
    if (auto self = weak.lock()) ((*self).*step)();
  });
}

void HostApp::narrate(const std::string& text) const {
  const double seconds = environment_.clock().now().timeIntervalSince(launchedAt_);
  std::printf("%5.1fs  %s\n", seconds, text.c_str());
  std::fflush(stdout);
}

}  // namespace ExampleHost
