#pragma once
// Presentation follows one full-screen ad that the sandbox host presents, through the ad's host
// delegate: it narrates the opening and the end of the presentation once each, counts them in the
// session, and tells the session when the screen is free again. InterstitialPresentation,
// AppOpenPresentation and RewardedPresentation are its delegate faces for the three formats.
// Each holds its session weakly: a callback after the session is gone does nothing.
// Threading: main queue only.

#include <functional>
#include <memory>
#include <string>

#include "QVRAdKit/Ads/AppOpenAd.h"
#include "QVRAdKit/Ads/AppOpenAdDelegate.h"
#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Ads/InterstitialAdDelegate.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit::Sandbox {

class SandboxSession;

// One full-screen ad on its way to the screen, followed through its delegate: narrates the
// opening and the end of the presentation once each and tells the session when the screen is
// free again. Later callbacks (a reload reported to a closed IronSource ad) are ignored.
class Presentation {
 public:
  // opened is called with the session when the ad opens, to count it. label names the ad in the
  // narration (a silent session passes none).
  using Count = std::function<void(SandboxSession&)>;

  Presentation(std::weak_ptr<SandboxSession> session, std::string label, Count opened)
      : session_(std::move(session)), label_(std::move(label)), opened_(std::move(opened)) {}
  virtual ~Presentation() = default;
  Presentation(const Presentation&) = delete;
  Presentation& operator=(const Presentation&) = delete;

  // How the narration names an ad: its format, network and ad unit.
  [[nodiscard]] static std::string describe(InterstitialAd& ad);
  [[nodiscard]] static std::string describe(AppOpenAd& ad);
  [[nodiscard]] static std::string describe(RewardedVideoAd& ad);

  [[nodiscard]] bool finished() const { return finished_; }
  // The host holds the ad it presents until the presentation is over (and a little beyond: the
  // ad is released once a later presentation prunes this one, never inside its own callback).
  void hold(std::shared_ptr<void> ad) { ad_ = std::move(ad); }

 protected:
  void didOpen();
  void didClose();
  void didFail(const std::string& what);
  [[nodiscard]] const std::weak_ptr<SandboxSession>& session() const { return session_; }
  [[nodiscard]] const std::string& label() const { return label_; }

 private:
  std::weak_ptr<SandboxSession> session_;
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
  RewardedPresentation(std::weak_ptr<SandboxSession> session, std::string label, Count opened,
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

}  // namespace QVRAdKit::Sandbox
