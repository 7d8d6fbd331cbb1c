#pragma once
// ISInterstitialHandler is the interstitial delegate the IronSource bridge registers with the SDK
// for the whole process. It keeps the flags of the SDK's one shared interstitial slot (a load is
// under way; the last load failed), forwards every callback to the one ad object registered as its
// interstitialDelegate (held weakly; callbacks are dropped when it is absent or gone), and after
// each close posts InterstitialShouldReloadNotificationName so that the bridge reloads at once.
// Threading: main queue (it may be created on the thread that starts the bridge).

#include <memory>
#include <string_view>
#include <utility>

#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialDelegate.h"
#include "QVRAdKit/Platform/NotificationCenter.h"
#include "QVRAdKit/SDK/IronSource/LevelPlayInterstitialDelegate.h"

namespace QVRAdKit {

// Posted (without sender) on the handler's notification centre (that of the bridge's environment)
// after every interstitial close.
inline constexpr std::string_view InterstitialShouldReloadNotificationName =
    "InterstitialShouldReloadNotificationName";

class ISInterstitialHandler final : public LevelPlayInterstitialDelegate {
 public:
  // The centre on which every close is announced.
  explicit ISInterstitialHandler(std::shared_ptr<Platform::NotificationCenter> notificationCenter)
      : notificationCenter_(std::move(notificationCenter)) {}

  [[nodiscard]] bool isLoading() const { return isLoading_; }
  void setIsLoading(bool loading) { isLoading_ = loading; }
  [[nodiscard]] bool isFailed() const { return isFailed_; }
  void setIsFailed(bool failed) { isFailed_ = failed; }
  [[nodiscard]] std::shared_ptr<IronSourceInterstitialDelegate> interstitialDelegate() const {
    return interstitialDelegate_.lock();
  }
  void setInterstitialDelegate(std::weak_ptr<IronSourceInterstitialDelegate> delegate) {
    interstitialDelegate_ = std::move(delegate);
  }

  void didLoadWithAdInfo(const ISAdInfo& adInfo) override;
  void didFailToLoadWithError(const Platform::Error& error) override;
  void didOpenWithAdInfo(const ISAdInfo& adInfo) override;
  void didShowWithAdInfo(const ISAdInfo& adInfo) override;
  void didFailToShowWithError(const Platform::Error& error, const ISAdInfo& adInfo) override;
  void didClickWithAdInfo(const ISAdInfo& adInfo) override;
  void didCloseWithAdInfo(const ISAdInfo& adInfo) override;

 private:
  std::shared_ptr<Platform::NotificationCenter> notificationCenter_;
  bool isLoading_ = false;
  bool isFailed_ = false;
  std::weak_ptr<IronSourceInterstitialDelegate> interstitialDelegate_;
};

}  // namespace QVRAdKit
