#pragma once
// IronSourceInterstitialAd is an interstitial served by IronSource for one placement name. All
// IronSource interstitial objects share the SDK's one slot: an object starts a load at creation
// only when nothing is available and nothing is loading (otherwise it leaves the slot and its
// listener alone), it counts as loaded while the SDK has an interstitial and it was not shown yet,
// and its failure flag is the slot's. Presenting registers it as the slot's listener.
// After a close the bridge reloads at once with the closed object still listening, so that load's
// result is reported under the closed object's uuid until another object registers itself.
// An opening or a close that repeats the last one is ignored.
// Example: auto ad =
// IronSourceInterstitialAd::create(IronSourceHelper::sharedInstance(environment),
//                                                     "connect", reporter);
// Threading: main queue; the SDK's callbacks arrive there.

#include <memory>
#include <string>
#include <string_view>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceHelper.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialDelegate.h"
#include "QVRAdKit/Ads/PresentationSequence.h"
#include "QVRAdKit/Platform/UUIDText.h"
#include "QVRAdKit/Reporting/AdsReportable.h"

namespace QVRAdKit {

class IronSourceInterstitialAd final : public InterstitialAd,
                                       public IronSourceInterstitialDelegate {
  struct Token {};

 public:
  // Creates the ad on the bridge it is given, starts the shared load when needed and reports the
  // request.
  static std::shared_ptr<IronSourceInterstitialAd> create(
      std::shared_ptr<IronSourceHelper> ironSourceHelper, std::string adUnitID,
      std::shared_ptr<AdsReportable> reporter);
  IronSourceInterstitialAd(Token, std::shared_ptr<IronSourceHelper> ironSourceHelper,
                           std::string adUnitID, std::shared_ptr<AdsReportable> reporter);

  [[nodiscard]] std::string_view uuid() const { return uuid_.view(); }
  [[nodiscard]] const std::string& adUnitID() const { return adUnitID_; }

  // The SDK has an interstitial and this object has not been shown.
  [[nodiscard]] bool isLoaded() const override;
  // The shared slot's failure flag; writing is ignored.
  [[nodiscard]] bool isFailed() const override;
  void setIsFailed(bool failed) override;
  // Registers this object as the slot's listener and shows the SDK's interstitial at adUnitID.
  void present(const std::shared_ptr<Platform::ViewController>& rootViewController) override;

  // IronSourceInterstitialDelegate
  void ironSourceDidLoadWith(const std::string& adUnit, const std::string& adNetwork) override;
  void ironSourceDidFailToLoadWith(const Platform::Error& error) override;
  void ironSourceDidClick() override;
  void ironSourceDidCloseWith(const std::string& adNetwork) override;
  void ironSourceDidFailToShowWith(const Platform::Error& error, const std::string& adUnit,
                                   const std::string& adNetwork) override;
  void ironSourceDidOpenWith(const std::string& adUnit, const std::string& adNetwork) override;
  void ironSourceDidShowAdNetwork(const std::string& adNetwork) override;

 private:
  void loadIfNeeded();
  [[nodiscard]] std::weak_ptr<IronSourceInterstitialDelegate> weakListener();

  std::shared_ptr<AdsReportable> reporter_;
  std::string adUnitID_;
  const Platform::UUIDText uuid_;
  std::shared_ptr<IronSourceHelper> ironSourceHelper_;
  PresentationSequence presentation_;
};

}  // namespace QVRAdKit
