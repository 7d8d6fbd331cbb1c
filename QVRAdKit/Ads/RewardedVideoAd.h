#pragma once
// RewardedVideoAd is the one rewarded video of a placement. Unlike the interstitials it is reused:
// load() starts a new load unless one is under way, and the ad reloads itself after it was shown.
// The streams suppress consecutive repeats.

#include <memory>
#include <string>

#include "QVRAdKit/Ads/PresentableAd.h"
#include "QVRAdKit/Ads/RewardedVideoAdDelegate.h"
#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class RewardedVideoAd : public PresentableAd {
 public:
  [[nodiscard]] virtual std::shared_ptr<RewardedVideoAdDelegate> delegate() const = 0;
  virtual void setDelegate(const std::shared_ptr<RewardedVideoAdDelegate>& delegate) = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isReadyStream() const = 0;
  // An ad can be shown now.
  [[nodiscard]] virtual bool isReady() const = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isLoadedStream() const = 0;
  [[nodiscard]] virtual bool isLoaded() const = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isLoadingStream() const = 0;
  [[nodiscard]] virtual bool isLoading() const = 0;
  // AdMob: the ad-unit key; IronSource: the placement of the last reward.
  [[nodiscard]] virtual std::string adUnitID() const = 0;
  virtual void load() = 0;
  // The last earned reward: empty type and zero before any.
  [[nodiscard]] virtual std::string getRewardType() const = 0;
  [[nodiscard]] virtual Platform::Decimal getRewardValue() const = 0;
};

}  // namespace QVRAdKit
