#pragma once
// HostApp is a VPN app around the ads module, in miniature. It builds the ads service and the
// partner banner from the app's services and plays one short session on the main queue's clock,
// saying what happens:
//   launch   the partner banner is laid out at the screen's width; the start-up run gathers
//            consent, reads the configuration, starts the network and loads the ads
//   +1 s     (after the run) the user taps connect: the app asks whether an interstitial may be
//            shown and presents it; the tunnel comes up a second later
//   +4 s     the user opens the time wall: the rewarded video plays and grants its reward
// and then reports that it has finished. Each step is a main-queue task holding the app weakly.
// The app listens to its ads and its banner, which hold it weakly, and keeps an interstitial
// while it is on screen (nobody else does).
// Threading: main queue.

#include <functional>
#include <memory>
#include <string>

#include "AdsConfiguration.h"
#include "HostDiagnostics.h"
#include "HostServices.h"
#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Banner/BannerAdListener.h"
#include "QVRAdKit/Banner/BannerAdViewImpl.h"
#include "QVRAdKit/Consent/QVRAdsConsentServiceImpl.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/Rx/DisposeBag.h"
#include "QVRAdKit/Services/AdsService/AdsService.h"

namespace ExampleHost {

class HostApp final : public QVRAdKit::InterstitialAdDelegate,
                      public QVRAdKit::RewardedVideoAdDelegate,
                      public QVRAdKit::BannerAdListener,
                      public std::enable_shared_from_this<HostApp> {
 public:
  // The width of the screen the banner is laid out at, in points.
  static constexpr double kScreenWidth = 375;

  HostApp(QVRAdKit::Platform::Environment& environment,
          std::shared_ptr<CountingAnalytics> analytics);

  // Starts the session; finished is called once, when it is over.
  void launch(std::function<void()> finished);

  // InterstitialAdDelegate.
  void interstitialAdDidOpen(QVRAdKit::InterstitialAd& ad) override;
  void interstitialAdWillClose(QVRAdKit::InterstitialAd& /*ad*/) override {}
  void interstitialAdDidClose(QVRAdKit::InterstitialAd& ad) override;
  void interstitialAdDidFail(QVRAdKit::InterstitialAd& ad) override;
  void interstitialAdDidFailToShow(QVRAdKit::InterstitialAd& ad) override;

  // RewardedVideoAdDelegate. Loads are followed in analytics, not here.
  void rewardedVideoAdDidEarnReward(QVRAdKit::RewardedVideoAd& ad) override;
  void rewardedVideoAdDidStartLoading(QVRAdKit::RewardedVideoAd& /*ad*/) override {}
  void rewardedVideoAdDidLoad(QVRAdKit::RewardedVideoAd& /*ad*/) override {}
  void rewardedVideoAdDidFailToLoad(QVRAdKit::RewardedVideoAd& /*ad*/,
                                    const QVRAdKit::Platform::Error& /*error*/) override {}
  void rewardedVideoAdDidOpen(QVRAdKit::RewardedVideoAd& ad) override;
  void rewardedVideoAdDidFailToPresent(QVRAdKit::RewardedVideoAd& ad,
                                       const QVRAdKit::Platform::Error& error) override;
  void rewardedVideoAdDidClose(QVRAdKit::RewardedVideoAd& ad) override;

  // BannerAdListener.
  void bannerAdDidClick() override { narrate("banner tapped"); }
  void bannerAdDidClose() override { narrate("banner closed"); }
  void bannerAdDidChangeVisibility(bool isHidden) override;

 private:
  using Step = void (HostApp::*)();

  void showPartnerBanner();
  void layOutBanner(double height);
  void adsStarted();
  void connect();
  void tunnelUp();
  void openTimewall();
  void interstitialLeftScreen(const std::string& how);
  void finish();
  // Runs step on the main queue after delay seconds, if the app is still there.
  void after(double delay, Step step);
  void narrate(const std::string& text) const;

  QVRAdKit::Platform::Environment& environment_;
  const QVRAdKit::Platform::Date launchedAt_;
  std::shared_ptr<CountingAnalytics> analytics_;
  std::shared_ptr<UserService> users_;
  std::shared_ptr<VpnConnection> connection_;
  std::shared_ptr<QVRAdKit::QVRAdsConsentServiceImpl> consentService_;
  std::shared_ptr<QVRAdKit::AdsService> ads_;
  std::shared_ptr<QVRAdKit::BannerAdViewImpl> banner_;
  std::shared_ptr<QVRAdKit::InterstitialAd> interstitialOnScreen_;
  const std::shared_ptr<QVRAdKit::Platform::ViewController> rootViewController_ =
      std::make_shared<QVRAdKit::Platform::ViewController>("root");
  std::function<void()> finished_;
  bool adsStarted_ = false;
  QVRAdKit::Rx::DisposeBag bag_;
};

}  // namespace ExampleHost
