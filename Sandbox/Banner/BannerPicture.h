#pragma once
// BannerPicture draws one partner banner as a person would see it on a phone: it builds the banner
// through the module's BannerAdBuilder from a partner ad (via PartnerAdsProvider and a user that
// carries the ad), applies a style and a partner appearance, lays the banner out at a width and
// the height it needs there, lets the partner image arrive, and writes the view tree as an SVG
// document, with a strip of the screen above the banner where the card's shadow falls. Its text
// is measured (FontTextMeasurer, registered as the environment's text measurer) and drawn in
// DejaVu Sans, so every line the banner's labels wrap fits where they put it. The same options
// give the same document, byte for byte. Without the font files it throws std::runtime_error
// saying which file is missing.
// Example:
//   BannerPicture::Options options;
//   options.width = 768;
//   options.appearance = SampleBannerStyle::partnerLook();
//   std::ofstream("banner.svg") << BannerPicture::svg(options);
// Threading: any thread; each call runs in an environment of its own (on a manual clock) and
// leaves the caller's environment as it was.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Banner/BannerAdViewStyle.h"
#include "QVRAdKit/Banner/BannerAppearance.h"
#include "QVRAdKit/UI/View.h"
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
    // Whether the font's glyphs travel in the document (a picture any browser shows as it was
    // measured); without, it names the font, which the machine that opens it must have.
    bool embedFonts = true;
  };

  // The widths a banner is drawn at, in points: narrower leaves the card's text no room, wider is
  // no phone's screen; and the largest outer inset on each side, which leaves a narrowest banner
  // room for its content.
  static constexpr double kMinWidth = 200;
  static constexpr double kMaxWidth = 2048;
  static constexpr double kMaxInset = 64;

  // The height of the strip of screen drawn above the banner, in points.
  static constexpr double kScreenAbove = 16;

  BannerPicture() = delete;

  // The image the partner ad's address brings, as the picture's image loader answers it.
  static constexpr std::string_view kPartnerImageName = "partner-logo";

  [[nodiscard]] static std::string svg(const Options& options);
  // The same, showing the laid-out banner to inspect before it is drawn (its environment, with
  // the picture's text measurer, is current meanwhile).
  using Inspect = std::function<void(const UI::View& banner)>;
  [[nodiscard]] static std::string svg(const Options& options, const Inspect& inspect);
};

}  // namespace QVRAdKit::Sandbox
