#pragma once
// ScriptedIronSource is the IronSource stand-in for tests: nothing happens until the test says so.
// Initialisation waits for completeInitialization() (or completes on the main queue at once when
// configured), each load waits until the test fills it or fails it (or never answers), and the
// test plays the life of a shown ad: open, show, click, reward, close, fail to show. Capping is
// set per placement. Every answer calls the registered delegate synchronously, so tests run on the
// thread that plays the main queue.
// Example:
//   auto sdk = ScriptedIronSource::create();
//   sdk->install(*environment);
//   ... module asks for an interstitial ...
//   sdk->fillInterstitialLoad("UnityAds");
//   sdk->triggerInterstitialOpen(); sdk->triggerInterstitialClose();
// Threading: as IronSourceSandbox; the test's answers and triggers run on the main queue.

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "Sandbox/IronSource/IronSourceSandbox.h"

namespace QVRAdKit::Sandbox {

class ScriptedIronSource final : public IronSourceSandbox {
  struct Token {};

 public:
  static std::shared_ptr<ScriptedIronSource> create();
  explicit ScriptedIronSource(Token) {}

  // When set, initialisation completes on the main queue as soon as it is asked for.
  void setCompletesInitializationAtOnce(bool atOnce);
  // Completes a requested initialisation; false when none is waiting.
  bool completeInitialization();

  // Answers the pending interstitial load; false (and nothing delivered) when none is pending.
  bool fillInterstitialLoad(const std::string& adNetwork,
                            const std::string& adUnit = "interstitial");
  bool failInterstitialLoad(const Platform::Error& error);
  void triggerInterstitialOpen() { deliverInterstitialOpened(); }
  void triggerInterstitialShow() { deliverInterstitialShown(); }
  void triggerInterstitialClick() { deliverInterstitialClicked(); }
  void triggerInterstitialClose() { deliverInterstitialClosed(); }
  void triggerInterstitialFailToShow(const Platform::Error& error) {
    deliverInterstitialShowFailed(error);
  }
  void setInterstitialCapped(const std::string& placement, bool capped);

  // Answers the pending rewarded-video load; false (and nothing delivered) when none is pending.
  bool fillRewardedVideoLoad(const std::string& adNetwork,
                             const std::string& adUnit = "rewardedvideo");
  bool failRewardedVideoLoad(const Platform::Error& error);
  void triggerRewardedVideoOpen() { deliverRewardedVideoOpened(); }
  void triggerRewardedVideoClick(const ISPlacementInfo& placementInfo) {
    deliverRewardedVideoClicked(placementInfo);
  }
  void triggerRewardedVideoReward(const ISPlacementInfo& placementInfo) {
    deliverRewardedVideoRewarded(placementInfo);
  }
  void triggerRewardedVideoClose() { deliverRewardedVideoClosed(); }
  void triggerRewardedVideoFailToShow(const Platform::Error& error) {
    deliverRewardedVideoShowFailed(error);
  }

 private:
  void initializationRequested() override;
  void interstitialLoadRequested() override {}
  void rewardedVideoLoadRequested() override {}
  void interstitialShowRequested(const std::string& /*placement*/) override {}
  void rewardedVideoShowRequested() override {}
  bool interstitialCapped(const std::string& placement) override;

  mutable std::mutex mutex_;
  bool completesInitializationAtOnce_ = false;
  std::set<std::string> cappedPlacements_;
};

}  // namespace QVRAdKit::Sandbox
