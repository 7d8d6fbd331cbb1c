#pragma once
// AdsLoader holds up to three builders that the host made itself (a per-network interstitial
// builder, an app-open builder and a rewarded builder) and starts them. It takes no decisions and
// keeps no state of its own.
// Example: AdsLoader(interstitials, nullptr, rewarded).loadAds();
// Threading: main queue.

#include <memory>

#include "QVRAdKit/Builders/AppOpenAdBuilderProtocol.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderProtocol.h"
#include "QVRAdKit/Builders/RewardedVideoAdBuilderProtocol.h"
#include "QVRAdKit/Services/AdsService/AdsLoadable.h"

namespace QVRAdKit {

class AdsLoader final : public AdsLoadable {
 public:
  // The arguments come interstitial, app-open, rewarded; each may be null.
  explicit AdsLoader(std::shared_ptr<InterstitialAdBuilderProtocol> interstitialAdBuilder = nullptr,
                     std::shared_ptr<AppOpenAdBuilderProtocol> appOpenAdBuilder = nullptr,
                     std::shared_ptr<RewardedVideoAdBuilderProtocol> rewardedAdBuilder = nullptr)
      : interstitialAdBuilder_(std::move(interstitialAdBuilder)),
        rewardedAdBuilder_(std::move(rewardedAdBuilder)),
        appOpenAdBuilder_(std::move(appOpenAdBuilder)) {}

  // Starts the interstitial builder, then the rewarded one, then the app-open one; absent ones
  // are skipped. Calling it again calls start() again, which the builders ignore.
  void loadAds() override {
    if (interstitialAdBuilder_) interstitialAdBuilder_->start();
    if (rewardedAdBuilder_) rewardedAdBuilder_->start();
    if (appOpenAdBuilder_) appOpenAdBuilder_->start();
  }

 private:
  std::shared_ptr<InterstitialAdBuilderProtocol> interstitialAdBuilder_;
  std::shared_ptr<RewardedVideoAdBuilderProtocol> rewardedAdBuilder_;
  std::shared_ptr<AppOpenAdBuilderProtocol> appOpenAdBuilder_;
};

}  // namespace QVRAdKit
