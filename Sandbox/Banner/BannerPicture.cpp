#include "Sandbox/Banner/BannerPicture.h"

#include <memory>
#include <utility>
#include <vector>

#include "QVRAdKit/Banner/BannerAdBuilder.h"
#include "QVRAdKit/Banner/BannerAppearanceProvider.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/URL.h"
#include "QVRAdKit/UI/ImageLoader.h"
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

// The document with the screen's grey behind the banner, so that a card that does not reach the
// edges shows as one.
std::string onScreenBackground(std::string document) {
  const auto svg = document.find("<svg");
  const auto endOfTag = svg == std::string::npos ? svg : document.find('>', svg);
  if (endOfTag == std::string::npos) return document;
  document.insert(endOfTag + 1, "\n  <rect width=\"100%\" height=\"100%\" fill=\"#EEF0F3\"/>");
  return document;
}

}  // namespace

std::string BannerPicture::svg(const Options& options) {
  auto environment = Platform::Environment::makeForTesting();
  const Platform::Environment::Scope scope(*environment);
  // Layout diagnostics stay out of the program's output.
  environment->setService<QVLogger>(std::make_shared<RecordingLogger>());
  environment->setService<UI::ImageLoader>(std::make_shared<SimulatedImageLoader>(
      SimulatedImageLoader::Images{
          {kPartnerImageAddress, UI::Image{std::string(kPartnerImageName), {72, 44}}}},
      kImageLatency));

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
  return onScreenBackground(ViewTreeSVGRenderer::render(*banner));
}

}  // namespace QVRAdKit::Sandbox
