#pragma once
// AdmobAppOpenAd is one app-open ad of Google Mobile Ads for one ad-unit key. It starts its single
// load when created and reports the request and its outcome; a loaded ad stays presentable while
// the whole hours of its age are below four (a clock set back keeps it; see isFresh() in the
// implementation) and until it has been shown.
// It is the SDK ad's full-screen content delegate and turns those callbacks into reports, flag
// changes and calls of the host's delegate. A failed or used object is never reloaded.
// Only the first completion of its load counts; a second one (a misbehaving SDK) is ignored, and
// so is an opening or a dismissal that repeats the last one.
// Content is discarded once the ad was shown and closed.
// Threading: main queue. The load completion holds the adapter weakly and does nothing once it is
// gone; the SDK ad holds it weakly as its delegate.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Ads/AppOpenAd.h"
#include "QVRAdKit/Ads/PresentationSequence.h"
#include "QVRAdKit/Host/HostFault.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ModuleFileText.h"
#include "QVRAdKit/Platform/UUIDText.h"
#include "QVRAdKit/Reporting/AdsReportable.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADAppOpenAd.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADFullScreenContentDelegate.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class AdmobAppOpenAd final : public AppOpenAd,
                             public GADFullScreenContentDelegate,
                             public std::enable_shared_from_this<AdmobAppOpenAd> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Made through create() only (the key is private), in one allocation with its control block.
  AdmobAppOpenAd(ConstructionKey key, Platform::Environment& environment, std::string adUnitID,
                 std::shared_ptr<AdsReportable> reporter);
  // A loaded ad is shown only while the whole hours of its age are below this (see isFresh()).
  static constexpr double kExpiryHours = 4;
  static constexpr Platform::TimeInterval kSecondsPerHour = 60 * 60;

  // Creates the adapter and starts its load.
  [[nodiscard]] static std::shared_ptr<AdmobAppOpenAd> create(
      Platform::Environment& environment, std::string adUnitID,
      std::shared_ptr<AdsReportable> reporter);

  // WaterfallableAd.
  [[nodiscard]] bool isFailed() const override { return isFailed_; }
  // An SDK ad arrived, has not expired and was not shown yet.
  [[nodiscard]] bool isLoaded() const override;
  [[nodiscard]] Rx::Observable<bool> isLoadingStream() const override;
  [[nodiscard]] Rx::Observable<bool> isLoadingValues() const override {
    return isLoadingSubject_.asObservable();
  }

  // AppOpenAd.
  [[nodiscard]] std::shared_ptr<AppOpenAdDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(const std::shared_ptr<AppOpenAdDelegate>& delegate) override {
    delegate_ = delegate;
  }
  // Shows the SDK ad when there is one, it has not expired and the SDK agrees; when the SDK
  // refuses, the adapter is marked failed (without telling the delegate).
  void present(const std::shared_ptr<Platform::ViewController>& rootViewController) override;

  // Discardable content.
  bool beginContentAccess() { return true; }
  void endContentAccess() {}
  void discardContentIfPossible() {}
  [[nodiscard]] bool isContentDiscarded() const { return isUsed_; }

  [[nodiscard]] const std::string& adUnitID() const { return adUnitID_; }
  [[nodiscard]] std::string_view uuid() const { return uuid_.view(); }
  // When the SDK ad arrived; none before (and without) one.
  [[nodiscard]] const std::optional<Platform::Date>& adLoadedTime() const { return adLoadedTime_; }

  // GADFullScreenContentDelegate.
  void adWillPresentFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adWillDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidDismissFullScreenContent(GADFullScreenPresentingAd& ad) override;
  void adDidFailToPresentFullScreenContentWithError(GADFullScreenPresentingAd& ad,
                                                    const Platform::Error& error) override;

 private:
  void load();
  void didFinishLoading(std::shared_ptr<GADAppOpenAd> ad,
                        const std::optional<Platform::Error>& error);
  [[nodiscard]] bool isFresh() const;
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

  Rx::BehaviorSubject<bool> isLoadingSubject_{false};
  std::optional<Platform::Date> adLoadedTime_;
  std::shared_ptr<GADAppOpenAd> openAd_;
  bool isUsed_ = false;
  PresentationSequence presentation_;
  const Platform::UUIDText uuid_;
  const std::string adUnitID_;
  // The environment the ad loads in (its SDK, main queue and clock); it outlives the ad.
  Platform::Environment& environment_;
  const std::shared_ptr<AdsReportable> reporter_;
  std::weak_ptr<AppOpenAdDelegate> delegate_;
  bool isFailed_ = false;
};

}  // namespace QVRAdKit
