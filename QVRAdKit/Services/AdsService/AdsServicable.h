#pragma once
// AdsServicable is the ads service as the host sees it: starting and reloading ads, the decisions
// about whether and which ad to show, the ads pause, and the hand-out of ready ads.
// Threading: main queue; every operation is synchronous except that checkConsentAndLoadAds starts
// an asynchronous run and returns at once.

#include <memory>
#include <optional>
#include "QVRAdKit/Ads/AppOpenAd.h"
#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"

#include "QVRAdKit/Config/AdsPlacement.h"
#include "QVRAdKit/Host/AdsConfigServiceProtocol.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Rx/Observable.h"
#include "QVRAdKit/Services/AdsService/AdsLoadable.h"

namespace QVRAdKit {

class AdsServicable : public AdsLoadable, public AdsConfigServiceProtocol {
 public:
  ~AdsServicable() override = default;

  virtual void checkConsentAndLoadAds(bool shouldLoadGDPR) = 0;
  virtual void reloadAds() = 0;
  virtual void reload(const AdsPlacement& placement) = 0;
  // A ready ad for the placement, or nullptr.
  virtual std::shared_ptr<InterstitialAd> interstitialAd(InterstitialAdPlacement placement) = 0;
  virtual std::shared_ptr<RewardedVideoAd> rewardedAd(RewardedAdPlacement placement) = 0;
  virtual std::shared_ptr<AppOpenAd> appOpenAd(AppOpenAdPlacement placement) = 0;
  [[nodiscard]] virtual bool shouldShowAd(const AdsPlacement& placement) const = 0;
  // Pauses every ad for interval seconds from now, persistently.
  virtual void pauseAds(Platform::TimeInterval interval) = 0;
  [[nodiscard]] virtual std::optional<Rx::Observable<bool>> appLaunchIsLoadingAdStream() = 0;
  [[nodiscard]] virtual std::optional<AdsPlacement> appLaunchPlacement() const = 0;
};

}  // namespace QVRAdKit
