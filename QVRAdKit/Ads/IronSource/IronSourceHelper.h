#pragma once
// IronSourceHelper is the IronSource bridge: one per environment (the SDK's process), it starts the
// SDK, owns the two callback handlers the SDK holds weakly for the rest of the run, and offers the
// load, query and show operations the IronSource ads use. Because the SDK has one interstitial and
// one rewarded slot, every IronSource ad of a kind shares them: the handlers forward to the ad last
// registered with setInterstitialDelegate / setRewardedVideoDelegate.
// After each interstitial close it reloads at once (on InterstitialShouldReloadNotificationName).
// Example:
//   IronSourceHelper::sharedInstance(environment)->start(appKey, [] { /* SDK initialised */ });
// Threading: sharedInstance() and start() may be called from any thread (the ads service starts
// networks from a background executor); the rest, and the completion when the SDK reports that it
// has initialised, run on the main queue. A second start() calls the stored completion on the
// caller's thread. Made on a confined thread, it takes no lock and stays there.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/InterstitialCappingChecker.h"
#include "QVRAdKit/Ads/IronSource/ISInterstitialHandler.h"
#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/SDK/IronSource/ISInitializationDelegate.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class IronSourceHelper final : public InterstitialCappingChecker,
                               public ISInitializationDelegate,
                               public std::enable_shared_from_this<IronSourceHelper> {
  struct Token {};

 public:
  // Made only through sharedInstance().
  IronSourceHelper(Token, Platform::Environment& environment) : environment_(environment) {}
  IronSourceHelper(const IronSourceHelper&) = delete;
  IronSourceHelper& operator=(const IronSourceHelper&) = delete;

  // The bridge of environment, made on first use and kept by the environment; it drives the
  // IronSource SDK registered there.
  static std::shared_ptr<IronSourceHelper> sharedInstance(Platform::Environment& environment);

  // The first call stores the completion, initialises the SDK with the ad units "rewardedvideo"
  // and "interstitial", creates and registers the handlers and starts observing reload requests;
  // the completion runs when the SDK has initialised. Every later call only runs the stored
  // completion again, at once; its own completion is dropped and its key ignored. When no
  // completion is stored (the first call passed none), a later call's completion is stored in its
  // place instead, and runs at once if the SDK has already initialised, else when it does.
  void start(const std::string& appKey, std::function<void()> completion);

  // ISInitializationDelegate: runs the stored completion (which stays stored).
  void initializationDidComplete() override;

  // The handlers, absent before start().
  [[nodiscard]] std::shared_ptr<ISRewardedVideoHandler> rewardedVideoHandler() const;
  [[nodiscard]] std::shared_ptr<ISInterstitialHandler> interstitialHandler() const;

  // Rewarded slot. Before start() the delegate is not kept.
  void setRewardedVideoDelegate(std::weak_ptr<IronSourceRewardedVideoDelegate> delegate);
  void loadRewardedVideo();
  [[nodiscard]] bool hasRewardedVideo() const;
  void showRewardedVideoWith(const std::shared_ptr<Platform::ViewController>& viewController);

  // Interstitial slot. Before start() the delegate and the flags are not kept (the flags read
  // false).
  void setInterstitialDelegate(std::weak_ptr<IronSourceInterstitialDelegate> delegate);
  // Marks the shared slot loading and not failed, then asks the SDK to load.
  void loadInterstitial();
  [[nodiscard]] bool isLoadingInterstitial() const;
  [[nodiscard]] bool isFailedInterstitial() const;
  [[nodiscard]] bool hasInterstitial() const;
  void showInterstitialWith(const std::shared_ptr<Platform::ViewController>& viewController,
                            const std::string& placement);

  // InterstitialCappingChecker: true at the first capped name, in list order; false for an empty
  // list or when none is capped.
  bool isInterstitialCappedFor(const std::vector<std::string>& placementNames) override;

 private:
  // The environment that owns the bridge (and so outlives it).
  Platform::Environment& environment_;
  // Guards the start state below: start() may run on any thread.
  mutable Rx::ConfinableMutex mutex_{"IronSourceHelper"};
  bool started_ = false;
  bool initialized_ = false;
  std::function<void()> startCompletionHandler_;
  std::shared_ptr<ISRewardedVideoHandler> rewardedVideoHandler_;
  std::shared_ptr<ISInterstitialHandler> interstitialHandler_;
};

}  // namespace QVRAdKit
