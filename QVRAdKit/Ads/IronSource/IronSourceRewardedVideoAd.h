#pragma once
// IronSourceRewardedVideoAd is the rewarded video served by IronSource. It is reused: load()
// registers it as the listener of the SDK's one rewarded slot and asks for a load unless one is
// under way; it is ready while the SDK has a rewarded video. The reward the SDK grants is stored
// and the host is told that it was earned when the ad closes, after which the ad loads again. Its
// uuid stays the same across reloads. An opening or a close that repeats the last one is ignored:
// one showing earns one reward.
// Example:
//   auto ad = IronSourceRewardedVideoAd::create(IronSourceHelper::sharedInstance(environment),
//                                               reporter);
//   ad->load();
// Threading: main queue; the SDK's callbacks arrive there.

#include <memory>
#include <string>
#include <string_view>

#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoDelegate.h"
#include "QVRAdKit/Ads/PresentationSequence.h"
#include "QVRAdKit/Ads/RewardedVideoAd.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/Platform/UUIDText.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"

namespace QVRAdKit {

class IronSourceRewardedVideoAd final
    : public RewardedVideoAd,
      public IronSourceRewardedVideoDelegate,
      public std::enable_shared_from_this<IronSourceRewardedVideoAd> {
  struct Token {};

 public:
  // An ad on the bridge it is given. Does not load.
  static std::shared_ptr<IronSourceRewardedVideoAd> create(
      std::shared_ptr<IronSourceHelper> ironSourceHelper, std::shared_ptr<AdsReportable> reporter);
  IronSourceRewardedVideoAd(Token, std::shared_ptr<IronSourceHelper> ironSourceHelper,
                            std::shared_ptr<AdsReportable> reporter);
  IronSourceRewardedVideoAd(const IronSourceRewardedVideoAd&) = delete;
  IronSourceRewardedVideoAd& operator=(const IronSourceRewardedVideoAd&) = delete;

  [[nodiscard]] std::string_view uuid() const { return uuid_.view(); }

  // RewardedVideoAd
  [[nodiscard]] std::shared_ptr<RewardedVideoAdDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(const std::shared_ptr<RewardedVideoAdDelegate>& delegate) override {
    delegate_ = delegate;
  }
  [[nodiscard]] Rx::Observable<bool> isReadyStream() const override;
  // The SDK has a rewarded video.
  [[nodiscard]] bool isReady() const override;
  [[nodiscard]] Rx::Observable<bool> isLoadedStream() const override;
  [[nodiscard]] bool isLoaded() const override { return isLoadedRelay_.value(); }
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override;
  [[nodiscard]] bool isLoading() const override { return isLoadingRelay_.value(); }
  // The placement of the last reward; empty before any.
  [[nodiscard]] std::string adUnitID() const override { return placementId_; }
  void load() override;
  [[nodiscard]] std::string getRewardType() const override { return rewardType_; }
  [[nodiscard]] Platform::Decimal getRewardValue() const override { return rewardValue_; }
  // Shows the SDK's rewarded video, ready or not: the SDK answers with a fail-to-show otherwise.
  void present(const std::shared_ptr<Platform::ViewController>& rootViewController) override;

  // IronSourceRewardedVideoDelegate
  void ironSourceDidLoadWith(const std::string& adUnit, const std::string& adNetwork) override;
  void ironSourceDidFailToLoadWith(const Platform::Error& error) override;
  void ironSourceDidClick() override;
  void ironSourceDidReceive(const IronSourceVideoReward& reward,
                            const std::string& placement) override;
  void ironSourceDidClose() override;
  void ironSourceDidFailToShowWith(const Platform::Error& error, const std::string& adUnit,
                                   const std::string& adNetwork) override;
  void ironSourceDidOpenWith(const std::string& adUnit, const std::string& adNetwork) override;

 private:
  // Calls f with the delegate when it is still alive; otherwise does nothing. The delegate is
  // host code: what it throws is logged under the requirement's name and goes no further, so
  // the callback that notifies it still does the rest of its work.
  template <class F>
  void notifyDelegate(std::string_view requirement, F&& f) {
    if (auto listener = delegate()) {
      callHostAction(QVR_FILE_TEXT, requirement, __LINE__, [&] { f(*listener); });
    }
  }

  std::weak_ptr<RewardedVideoAdDelegate> delegate_;
  std::shared_ptr<IronSourceHelper> ironSourceHelper_;
  std::shared_ptr<AdsReportable> reporter_;
  std::string rewardType_;
  Platform::Decimal rewardValue_;
  const Platform::UUIDText uuid_;
  Rx::BehaviorRelay<bool> isLoadedRelay_{false};
  Rx::BehaviorRelay<bool> isLoadingRelay_{false};
  Rx::BehaviorSubject<bool> isReadySubject_{false};
  std::string placementId_;
  PresentationSequence presentation_;
};

}  // namespace QVRAdKit
