#pragma once
// AdmobRewardedVideoAd is the reusable rewarded video of Google Mobile Ads for one ad-unit key. It
// loads on load() (never while a load runs), reloads itself as soon as a reward is earned and when
// the ad closes, and keeps its uuid across reloads. It is the SDK ad's full-screen content
// delegate and turns those callbacks and the reward into reports, flag changes and calls of the
// host's delegate. Presenting without a loaded ad tells the delegate RewardedAdError::isNotReady.
// Only the first completion of each load counts; a repeated or stale one is ignored. So is an
// opening, a reward or a dismissal that repeats the last one of its showing.
// Example:
//   auto ad = AdmobRewardedVideoAd::create(environment, "/1234/timewall", reporter);
//   ad->setDelegate(listener);
//   ad->load();
// Threading: main queue. Load completions and reward handlers hold the adapter weakly and do
// nothing once it is gone; the SDK ad holds it weakly as its delegate.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Ads/PresentationSequence.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/Platform/UUIDText.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenContentDelegate.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADRewardedAd.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class AdmobRewardedVideoAd final : public RewardedVideoAd,
                                   public GADFullScreenContentDelegate,
                                   public std::enable_shared_from_this<AdmobRewardedVideoAd> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Made through create() only (the key is private), in one allocation with its control block.
  AdmobRewardedVideoAd(ConstructionKey key, Platform::Environment& environment,
                       std::string adUnitID, std::shared_ptr<AdsReportable> reporter);
  // Creates the adapter without loading.
  [[nodiscard]] static std::shared_ptr<AdmobRewardedVideoAd> create(
      Platform::Environment& environment, std::string adUnitID,
      std::shared_ptr<AdsReportable> reporter);

  // RewardedVideoAd.
  [[nodiscard]] std::shared_ptr<RewardedVideoAdDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(const std::shared_ptr<RewardedVideoAdDelegate>& delegate) override {
    delegate_ = delegate;
  }
  [[nodiscard]] Rx::Observable<bool> isReadyStream() const override;
  // An SDK ad is held.
  [[nodiscard]] bool isReady() const override { return rewardedAd_ != nullptr; }
  [[nodiscard]] Rx::Observable<bool> isLoadedStream() const override;
  [[nodiscard]] bool isLoaded() const override { return isLoadedRelay_.value(); }
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override;
  [[nodiscard]] bool isLoading() const override { return isLoadingRelay_.value(); }
  [[nodiscard]] std::string adUnitID() const override { return adUnitID_; }
  void load() override;
  [[nodiscard]] std::string getRewardType() const override { return rewardType_; }
  [[nodiscard]] Platform::Decimal getRewardValue() const override { return rewardValue_; }
  void present(const std::shared_ptr<Platform::ViewController>& rootViewController) override;

  [[nodiscard]] std::string_view uuid() const { return uuid_.view(); }

  // GADFullScreenContentDelegate.
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& ad,
                                                    const Platform::Error& error) override;

 private:
  void didFinishLoading(std::uint64_t load, std::shared_ptr<GADRewardedAd> ad,
                        const std::optional<Platform::Error>& error);
  void didEarnReward(const GADRewardedAd& shownAd);
  [[nodiscard]] AdsReportable::Text networkClassName() const;
  // Calls f with the delegate when it is still alive; otherwise does nothing. The delegate is
  // host code: what it throws is logged under the requirement's name and goes no further, so
  // the callback that notifies it still does the rest of its work.
  template <class F>
  void notifyDelegate(std::string_view requirement, F&& f) {
    if (auto listener = delegate_.lock()) {
      callHostAction(QVR_FILE_TEXT, requirement, __LINE__, [&] { f(*listener); });
    }
  }

  std::weak_ptr<RewardedVideoAdDelegate> delegate_;
  std::shared_ptr<GADRewardedAd> rewardedAd_;
  PresentationSequence presentation_;
  // The environment the ad loads in (its SDK, main queue and clock); it outlives the ad.
  Platform::Environment& environment_;
  const std::shared_ptr<AdsReportable> reporter_;
  std::string rewardType_;
  Platform::Decimal rewardValue_;
  const std::string adUnitID_;
  const Platform::UUIDText uuid_;
  Rx::BehaviorRelay<bool> isLoadedRelay_{false};
  Rx::BehaviorRelay<bool> isLoadingRelay_{false};
  Rx::BehaviorSubject<bool> isReadySubject_{false};
  // Numbers the loads, so that only the completion of the running load is taken.
  std::uint64_t loadCount_ = 0;
};

}  // namespace QVRAdKit
