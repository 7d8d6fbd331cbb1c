#pragma once
// BannerAdBuilder assembles one partner banner per call: a BannerAdViewImpl, the interactor that
// feeds it from the config provider (the view owns it) and the router that opens a tapped
// banner's address. The host places the returned view and styles it through its
// BannerAdViewStylable side; the builder keeps nothing of what it built.
//
// The banner shows its first content before buildBannerAd() returns, so the host's listener hears
// the first visibility (true while there is no partner banner) during the call; the look follows
// once the host applies a style.
// Example:
//   BannerAdBuilder builder(*environment, partnerAdsProvider, appearances);
//   auto banner = builder.buildBannerAd(listener);   // listener held weakly
//   banner->apply(style);
//   screen->addSubview(banner);
// Threading: main queue only. Owns its two providers; each banner it builds shares them. The
// banners run in the builder's environment (main queue, clock, application, image loader, records
// sink), which outlives them.

#include <memory>

#include "QVRAdKit/Banner/BannerAdConfigProvider.h"
#include "QVRAdKit/Banner/BannerAdListener.h"
#include "QVRAdKit/Banner/BannerAdViewImpl.h"
#include "QVRAdKit/Banner/BannerAppearanceProvider.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class BannerAdBuilder {
 public:
  // appearanceProvider may be null: every banner then shows the bare style.
  BannerAdBuilder(Platform::Environment& environment,
                  std::shared_ptr<BannerAdConfigProvider> configProvider,
                  std::shared_ptr<BannerAppearanceProvider> appearanceProvider = nullptr);
  // The same in the environment installed now (Platform::Environment::current()): a convenience
  // for hosts that run a single environment.
  explicit BannerAdBuilder(std::shared_ptr<BannerAdConfigProvider> configProvider,
                           std::shared_ptr<BannerAppearanceProvider> appearanceProvider = nullptr);

  // A new banner view, interactor and router. listener may be null; it is held weakly.
  [[nodiscard]] std::shared_ptr<BannerAdViewImpl> buildBannerAd(
      const std::shared_ptr<BannerAdListener>& listener = nullptr) const;

  [[nodiscard]] const std::shared_ptr<BannerAdConfigProvider>& configProvider() const {
    return configProvider_;
  }
  [[nodiscard]] const std::shared_ptr<BannerAppearanceProvider>& appearanceProvider() const {
    return appearanceProvider_;
  }

 private:
  Platform::Environment* environment_;
  std::shared_ptr<BannerAdConfigProvider> configProvider_;
  std::shared_ptr<BannerAppearanceProvider> appearanceProvider_;
};

}  // namespace QVRAdKit
