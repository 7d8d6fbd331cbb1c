#pragma once
// IronSource offers the IronSource SDK's class operations. Each one forwards to the IronSourceSDK
// registered in the environment it is given (the SDK's process is the environment); when none is
// registered the calls do nothing and the queries answer false, so a host without IronSource runs
// the module unchanged.
// Example:
//   IronSource::initWithAppKey(environment, key, {IS_REWARDED_VIDEO, IS_INTERSTITIAL}, delegate);
//   if (IronSource::hasInterstitial(environment)) {
//     IronSource::showInterstitialWithViewController(environment, vc, "connect");
//   }
// Threading: as IronSourceSDK: initWithAppKey and the delegate setters from any thread, the rest
// on the main queue; callbacks arrive on the main queue.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/SDK/IronSource/IronSourceSDK.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

// The ad-unit names the SDK is started with.
inline constexpr std::string_view IS_REWARDED_VIDEO = "rewardedvideo";
inline constexpr std::string_view IS_INTERSTITIAL = "interstitial";

class IronSource {
 public:
  IronSource() = delete;

  static void initWithAppKey(const Platform::Environment& environment, const std::string& appKey,
                             const std::vector<std::string>& adUnits,
                             std::weak_ptr<ISInitializationDelegate> delegate);

  // The SDK keeps these registered for the whole process but holds them weakly: their owner
  // (the IronSource bridge) keeps them alive.
  static void setLevelPlayRewardedVideoDelegate(
      const Platform::Environment& environment,
      std::weak_ptr<LevelPlayRewardedVideoDelegate> delegate);
  static void setLevelPlayRewardedVideoManualDelegate(
      const Platform::Environment& environment,
      std::weak_ptr<LevelPlayRewardedVideoManualDelegate> delegate);
  static void setLevelPlayInterstitialDelegate(
      const Platform::Environment& environment,
      std::weak_ptr<LevelPlayInterstitialDelegate> delegate);

  static void loadRewardedVideo(const Platform::Environment& environment);
  [[nodiscard]] static bool hasRewardedVideo(const Platform::Environment& environment);
  static void showRewardedVideoWithViewController(
      const Platform::Environment& environment,
      const std::shared_ptr<Platform::ViewController>& viewController);

  static void loadInterstitial(const Platform::Environment& environment);
  [[nodiscard]] static bool hasInterstitial(const Platform::Environment& environment);
  static void showInterstitialWithViewController(
      const Platform::Environment& environment,
      const std::shared_ptr<Platform::ViewController>& viewController,
      const std::string& placement);
  [[nodiscard]] static bool isInterstitialCappedForPlacement(
      const Platform::Environment& environment, const std::string& placementName);

  static void setConsent(const Platform::Environment& environment, bool consent);
};

}  // namespace QVRAdKit
