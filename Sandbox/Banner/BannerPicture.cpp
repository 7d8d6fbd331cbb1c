#include "Sandbox/Banner/BannerPicture.h"

#include <memory>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

#include "QVRAdKit/Banner/BannerAdBuilder.h"
#include "QVRAdKit/Banner/BannerAppearanceProvider.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/UI/ImageLoader.h"
#include "QVRAdKit/UI/TextMeasurer.h"
#include "Sandbox/Fonts/FontTextMeasurer.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxPartnerAd.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"
#include "Sandbox/Images/SimulatedImageLoader.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Render/ViewTreeSVGRenderer.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kPartnerImageAddress = "https://cdn.partner.example/banner/logo.png";
constexpr Platform::TimeInterval kImageLatency = 0.25;

// The one look the picture was asked for, whichever partner it is asked about.
class FixedAppearanceProvider final : public BannerAppearanceProvider {
 public:
  explicit FixedAppearanceProvider(std::optional<BannerAppearance> appearance)
      : appearance_(std::move(appearance)) {}

  [[nodiscard]] std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> /*name*/) const override {
    return appearance_;
  }

 private:
  std::optional<BannerAppearance> appearance_;
};

std::shared_ptr<const QVPartnerAd> partnerAd(const BannerPicture::Options& options) {
  SandboxPartnerAd::Fields fields;
  fields.iconUrl = Platform::URL::string(kPartnerImageAddress).value();
  fields.title = options.title;
  fields.subtitle = options.subtitle;
  fields.isCloseEnabled = options.showCloseButton;
  fields.enabledState = 1;
  fields.partnerName = options.partnerName;
  return SandboxPartnerAd::make(std::move(fields));
}

// The document with the screen's grey behind the banner (and the strip of screen above it), so
// that a card that does not reach the edges, and its shadow, show as such.
std::string onScreenBackground(std::string document, double topMargin) {
  const auto svg = document.find("<svg");
  const auto endOfTag = svg == std::string::npos ? svg : document.find('>', svg);
  if (endOfTag == std::string::npos) return document;
  std::string screen = "\n  <rect x=\"0\" y=\"";
  screen += ViewTreeSVGRenderer::formatNumber(-topMargin);
  screen += "\" width=\"100%\" height=\"100%\" fill=\"#EEF0F3\"/>";
  document.insert(endOfTag + 1, screen);
  return document;
}

std::shared_ptr<FontTextMeasurer> pictureFonts() {
  auto made = FontTextMeasurer::dejaVuSans();
  if (auto* problem = std::get_if<std::string>(&made)) {
    throw std::runtime_error("the banner picture cannot measure its text: " + *problem);
  }
  return std::get<std::shared_ptr<FontTextMeasurer>>(made);
}

}  // namespace

std::string BannerPicture::svg(const Options& options) {
  return svg(options, nullptr);
}

std::string BannerPicture::svg(const Options& options, const Inspect& inspect) {
  const auto fonts = pictureFonts();
  auto environment = Platform::Environment::makeForTesting();
  const Platform::Environment::Scope scope(*environment);
  // Layout diagnostics stay out of the program's output.
  environment->setService<QVLogger>(std::make_shared<RecordingLogger>());
  environment->setService<UI::ImageLoader>(std::make_shared<SimulatedImageLoader>(
      SimulatedImageLoader::Images{
          {kPartnerImageAddress, UI::Image{std::string(kPartnerImageName), {72, 44}}}},
      kImageLatency));
  // The labels break their lines where the picture's font needs them broken.
  environment->setService<UI::TextMeasurer>(fonts);

  auto users = std::make_shared<SandboxUserService>(std::make_shared<SandboxUser>(
      false, std::vector<std::shared_ptr<const QVPartnerAd>>{partnerAd(options)}));
  auto connection = std::make_shared<SandboxConnectionService>();
  const BannerAdBuilder builder(*environment, PartnerAdsProvider::create(users, connection),
                                std::make_shared<FixedAppearanceProvider>(options.appearance));
  auto banner = builder.buildBannerAd();
  banner->apply(options.style);

  // The banner sits at the bottom of a screen, over the screen's bottom safe area.
  banner->setSafeAreaInsets({0, 0, options.safeAreaBottom, 0});
  const double height = banner->systemLayoutSizeFitting(options.width).height;
  banner->setFrame({{0, 0}, {options.width, height}});
  banner->layoutIfNeeded();
  // Lets the partner image arrive.
  environment->advance(kImageLatency);
  banner->layoutIfNeeded();
  if (inspect) inspect(*banner);
  ViewTreeSVGRenderer::Options drawing;
  drawing.fonts = fonts;
  drawing.embedFonts = options.embedFonts;
  drawing.topMargin = kScreenAbove;
  return onScreenBackground(ViewTreeSVGRenderer::render(*banner, drawing), kScreenAbove);
}

}  // namespace QVRAdKit::Sandbox
