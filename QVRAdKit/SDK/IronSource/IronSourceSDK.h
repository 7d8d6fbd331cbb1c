#pragma once
// IronSourceSDK is the IronSource mediation SDK as the module uses it: one process-wide SDK with a
// single interstitial slot and a single rewarded-video slot. The IronSource class operations
// forward to the implementation registered in the current Platform::Environment (a bridge to the
// real SDK on a phone, the sandbox's stand-in elsewhere).
// Delegates are held weakly: the SDK keeps them registered for the whole process but never keeps
// them alive, and drops a callback whose delegate is gone.
// Threading: initWithAppKey and the setLevelPlay...Delegate calls may come from any thread (the ads
// service starts networks from a background executor); everything else is called on the main
// queue. Every callback arrives on the main queue.

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/IronSource/ISInitializationDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayInterstitialDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoDelegate.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayRewardedVideoManualDelegate.h"

namespace QVRAdKit {

class IronSourceSDK {
 public:
  virtual ~IronSourceSDK() = default;

  // Starts the SDK for the given ad units; the delegate is told when initialisation completes.
  virtual void initWithAppKey(const std::string& appKey, const std::vector<std::string>& adUnits,
                              std::weak_ptr<ISInitializationDelegate> delegate) = 0;

  virtual void setLevelPlayRewardedVideoDelegate(
      std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate) = 0;
  virtual void setLevelPlayRewardedVideoManualDelegate(
      std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate) = 0;
  virtual void setLevelPlayInterstitialDelegate(
      std::weak_ptr<LevelPlayInterstitialDelegate> delegate) = 0;

  virtual void loadRewardedVideo() = 0;
  [[nodiscard]] virtual bool hasRewardedVideo() = 0;
  virtual void showRewardedVideoWithViewController(
      const std::shared_ptr<Platform::ViewController>& viewController) = 0;

  virtual void loadInterstitial() = 0;
  [[nodiscard]] virtual bool hasInterstitial() = 0;
  virtual void showInterstitialWithViewController(
      const std::shared_ptr<Platform::ViewController>& viewController,
      const std::string& placement) = 0;
  // Whether the network's capping rules currently forbid an interstitial at this placement.
  [[nodiscard]] virtual bool isInterstitialCappedForPlacement(const std::string& placementName) = 0;

  // The user's answer to personalised ads (GDPR).
  virtual void setConsent(bool consent) = 0;
};

}  // namespace QVRAdKit
