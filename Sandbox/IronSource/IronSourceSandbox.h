#pragma once
// IronSourceSandbox is the core of the IronSource stand-in: an IronSourceSDK with the SDK's one
// interstitial slot and one rewarded-video slot, the registered delegates (held weakly) and a
// record of the calls made to it. It decides nothing by itself: each face (ScriptedIronSource for
// tests, SimulatedIronSource for the sandbox host) is told of every request through the hooks and
// answers through the deliver... operations, which update the slot and call the delegate.
// Slot model: a load request marks a load pending (further requests while one is pending only
// count); a fill makes the ad available, a failure leaves none; opening takes the available ad on
// screen (no ad is available while it shows) and closing ends the show.
// Rewarded load results go to the manual delegate once one has been registered; before that they
// go to the automatic delegate as availability changes.
// Threading: every member may be called from any thread (the SDK calls from the module may come
// from the background executor); one built on a confined thread takes no lock and stays there.
// Hooks run on the caller's thread without the core's lock held; deliver... runs delegates on the
// calling thread, which must be the main queue.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"

namespace QVRAdKit::Sandbox {

class IronSourceSandbox : public IronSourceSDK,
                          public std::enable_shared_from_this<IronSourceSandbox> {
 public:
  struct InitCall {
    std::string appKey;
    std::vector<std::string> adUnits;
    bool operator==(const InitCall&) const = default;
  };
  struct ShowCall {
    std::string viewController;  // the view controller's name, empty without one
    std::string placement;       // empty for rewarded videos
    bool operator==(const ShowCall&) const = default;
  };

  // Registers this sandbox as the environment's IronSourceSDK; its callbacks and timers then use
  // that environment's main queue and clock. The environment must outlive the sandbox's use.
  void install(Platform::Environment& environment);

  // IronSourceSDK
  void initWithAppKey(const std::string& appKey, const std::vector<std::string>& adUnits,
                      std::weak_ptr<ISInitializationDelegate> delegate) final;
  void setLevelPlayRewardedVideoDelegate(
      std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate) final;
  void setLevelPlayRewardedVideoManualDelegate(
      std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate) final;
  void setLevelPlayInterstitialDelegate(
      std::weak_ptr<LevelPlayInterstitialDelegate> delegate) final;
  void loadRewardedVideo() final;
  [[nodiscard]] bool hasRewardedVideo() final;
  void showRewardedVideoWithViewController(
      const std::shared_ptr<Platform::ViewController>& viewController) final;
  void loadInterstitial() final;
  [[nodiscard]] bool hasInterstitial() final;
  void showInterstitialWithViewController(
      const std::shared_ptr<Platform::ViewController>& viewController,
      const std::string& placement) final;
  [[nodiscard]] bool isInterstitialCappedForPlacement(const std::string& placementName) final;
  void setConsent(bool consent) final;

  // What the module asked, oldest first. Shows and capping queries are recorded only while the
  // sandbox keeps call records (the default; the simulated face keeps none, since a long run would
  // accumulate them and nobody reads them).
  [[nodiscard]] std::vector<InitCall> initCalls() const;
  [[nodiscard]] std::vector<bool> consents() const;
  [[nodiscard]] std::vector<ShowCall> interstitialShows() const;
  [[nodiscard]] std::vector<ShowCall> rewardedVideoShows() const;
  [[nodiscard]] std::vector<std::string> cappingQueries() const;
  // Every load call, including those made while a load was already pending.
  [[nodiscard]] size_t interstitialLoadCalls() const;
  [[nodiscard]] size_t rewardedVideoLoadCalls() const;

  [[nodiscard]] bool isInitialized() const;
  [[nodiscard]] bool isInterstitialLoadPending() const;
  [[nodiscard]] bool isRewardedVideoLoadPending() const;
  [[nodiscard]] bool isInterstitialOnScreen() const;
  [[nodiscard]] bool isRewardedVideoOnScreen() const;

 protected:
  IronSourceSandbox() = default;

  // The face's answers to requests.
  virtual void initializationRequested() = 0;
  // Only for a request that found no load pending.
  virtual void interstitialLoadRequested() = 0;
  virtual void rewardedVideoLoadRequested() = 0;
  virtual void interstitialShowRequested(const std::string& placement) = 0;
  virtual void rewardedVideoShowRequested() = 0;
  [[nodiscard]] virtual bool interstitialCapped(const std::string& placement) = 0;

  // Deliveries, on the main queue. The load answers return false (and deliver nothing) when no
  // load is pending; initialisation completes once.
  bool deliverInitializationCompleted();
  bool deliverInterstitialLoaded(const ISAdInfo& adInfo);
  bool deliverInterstitialLoadFailed(const Platform::Error& error);
  void deliverInterstitialOpened();
  void deliverInterstitialShown();
  void deliverInterstitialClicked();
  void deliverInterstitialClosed();
  void deliverInterstitialShowFailed(const Platform::Error& error);
  bool deliverRewardedVideoLoaded(const ISAdInfo& adInfo);
  bool deliverRewardedVideoLoadFailed(const Platform::Error& error);
  void deliverRewardedVideoOpened();
  void deliverRewardedVideoClicked(const ISPlacementInfo& placementInfo);
  void deliverRewardedVideoRewarded(const ISPlacementInfo& placementInfo);
  void deliverRewardedVideoClosed();
  void deliverRewardedVideoShowFailed(const Platform::Error& error);

  void setKeepsCallRecords(bool keeps);

  // The installed environment, or the current one before install().
  [[nodiscard]] Platform::Environment& environment() const;

 private:
  struct Slot {
    size_t loadCalls = 0;
    bool loadPending = false;
    bool available = false;
    bool onScreen = false;
    ISAdInfo adInfo;  // the last ad filled, also while it is on screen
    std::vector<ShowCall> shows;
  };

  // Marks a load pending; answers whether the face must be told (none was pending).
  bool beginLoad(Slot& slot);
  // Ends the pending load; answers false when none was pending.
  bool endLoad(Slot& slot, const ISAdInfo* filled);
  ISAdInfo openSlot(Slot& slot);
  ISAdInfo closeSlot(Slot& slot);
  ISAdInfo adInfoOf(const Slot& slot) const;
  // A show-phase callback: under the lock, step() updates the slot and answers its ad info, and
  // the delegate is locked; outside the lock, call(delegate, adInfo) runs if the delegate lives.
  template <class Delegate, class Step, class Call>
  void deliverShowEvent(const std::weak_ptr<Delegate>& delegateRef, Step step, Call call) {
    std::shared_ptr<Delegate> delegate;
    ISAdInfo adInfo;
    {
      std::lock_guard lock(mutex_);
      adInfo = step();
      delegate = delegateRef.lock();
    }
    if (delegate) call(*delegate, adInfo);
  }

  mutable Rx::ConfinableMutex mutex_{"IronSourceSandbox"};
  Platform::Environment* environment_ = nullptr;
  std::vector<InitCall> initCalls_;
  bool initialized_ = false;
  std::vector<bool> consents_;
  std::vector<std::string> cappingQueries_;
  std::weak_ptr<ISInitializationDelegate> initializationDelegate_;
  std::weak_ptr<LevelPlayInterstitialDelegate> interstitialDelegate_;
  std::weak_ptr<LevelPlayRewardedVideoDelegate> rewardedVideoDelegate_;
  std::weak_ptr<LevelPlayRewardedVideoManualDelegate> rewardedVideoManualDelegate_;
  bool rewardedVideoManualMode_ = false;
  bool keepsCallRecords_ = true;
  Slot interstitial_;
  Slot rewardedVideo_;
};

}  // namespace QVRAdKit::Sandbox
