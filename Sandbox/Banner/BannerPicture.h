#pragma once
// BannerPicture draws one partner banner as a person would see it on a phone: it builds the banner
// through the module's BannerAdBuilder from a partner ad (via PartnerAdsProvider and a user that
// carries the ad), applies a style and a partner appearance, lays the banner out at a width and
// the height it needs there, lets the partner image arrive, and writes the view tree as an SVG
// document. The same options give the same document, byte for byte.
// Example:
//   BannerPicture::Options options;
//   options.width = 768;
//   options.appearance = SampleBannerStyle::partnerLook();
//   std::ofstream("banner.svg") << BannerPicture::svg(options);
// Threading: any thread; each call runs in an environment of its own (on a manual clock) and
// leaves the caller's environment as it was.

#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerAppearance.h"
#include "Sandbox/Banner/SampleBannerStyle.h"

namespace QVRAdKit::Sandbox {

class BannerPicture {
 public:
  struct Options {
    // The banner's width in points; its height is what it needs at that width.
    double width = 375;
    // The screen's bottom safe area that the banner covers (a phone's home indicator).
    double safeAreaBottom = 34;
    // The partner ad.
    std::string partnerName = "kd_free_trial_2022";
    std::string title = "Get 7 days of Premium free";
    std::string subtitle = "Fast, private browsing on every network";
    bool showCloseButton = true;
    // The partner's look; none shows the bare style.
    std::optional<BannerAppearance> appearance;
    BannerAdViewStyle style = SampleBannerStyle::style();
  };

  BannerPicture() = delete;

  // The image the partner ad's address brings, as the picture's image loader answers it.
  static constexpr std::string_view kPartnerImageName = "partner-logo";

  [[nodiscard]] static std::string svg(const Options& options);
};

}  // namespace QVRAdKit::Sandbox
