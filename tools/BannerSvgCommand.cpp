#include "tools/BannerSvgCommand.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "QVRAdKit/Banner/BannerCTAType.h"
#include "Sandbox/Banner/BannerPicture.h"
#include "Sandbox/Banner/SampleBannerStyle.h"
#include "Sandbox/Output/AtomicFile.h"
#include "tools/CheckedOutput.h"
#include "tools/Interruption.h"
#include "tools/OutputPaths.h"
#include "tools/SandboxCommandLine.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Tools {
namespace {

std::optional<BannerAppearance::Position> position(std::string_view text) {
  if (text == "regular") return BannerAppearance::Position::regular;
  if (text == "bottomSafeArea") return BannerAppearance::Position::bottomSafeArea;
  if (text == "bottomToEdge") return BannerAppearance::Position::bottomToEdge;
  return std::nullopt;
}

constexpr const char* kGroup = "Banner picture";

// Points from 0 to kMaxPoints: wider than any screen's safe area, small enough that text layout
// stays quick.
constexpr double kMaxPoints = 10000;

// The bounds are whole numbers of points.
std::string whole(double points) {
  return std::to_string(static_cast<std::int64_t>(points));
}

// A number of points from lowest to highest: a message naming the bounds otherwise.
CLI::Validator points(double lowest, double highest, const char* name) {
  return CLI::Validator(
      [lowest, highest](const std::string& text) -> std::string {
        try {
          std::size_t used = 0;
          const double value = std::stod(text, &used);
          if (used == text.size() && std::isfinite(value) && value >= lowest && value <= highest) {
            return {};
          }
        } catch (const std::exception&) {
        }
        return "must be a number of points from " + whole(lowest) + " to " + whole(highest) +
               ", found " + text;
      },
      name);
}

}  // namespace

void BannerSvgCommand::addTo(CLI::App& app) {
  const char* group = kGroup;
  app.add_option("--banner-svg", path_,
                 "Write one partner banner as an SVG file (- for stdout) instead of playing a "
                 "session; only the --banner-* options go with it")
      ->check(Sandbox::SandboxCommandLine::nonEmptyPath())
      ->group(group);
  // The workbench's bounds: narrower leaves the card's text no room, wider is no phone.
  app.add_option("--banner-width", width_,
                 "Banner width in points, from " + whole(Sandbox::BannerPicture::kMinWidth) +
                     " to " + whole(Sandbox::BannerPicture::kMaxWidth))
      ->capture_default_str()
      ->check(points(Sandbox::BannerPicture::kMinWidth, Sandbox::BannerPicture::kMaxWidth, "WIDTH"))
      ->group(group);
  app.add_option("--banner-safe-area-bottom", safeAreaBottom_,
                 "The screen's bottom safe area under the banner, in points, from 0 to " +
                     whole(kMaxPoints))
      ->capture_default_str()
      ->check(points(0, kMaxPoints, "POINTS"))
      ->group(group);
  titleOption_ = app.add_option("--banner-title", title_,
                                "Partner ad title (a line feed splits it for the "
                                "accessory-icon calls to action)")
                     ->group(group);
  subtitleOption_ =
      app.add_option("--banner-subtitle", subtitle_, "Partner ad subtitle")->group(group);
  app.add_flag("--banner-no-close", noClose_, "The partner ad cannot be closed")->group(group);
  app.add_flag("--banner-partner-look", partnerLook_,
               "Dress the banner in the sample partner's colours and accessory icon")
      ->group(group);
  app.add_option("--banner-cta", cta_, "Call-to-action type of the partner's appearance")
      ->check(CLI::IsMember({"bottomButton", "accessoryIcon", "accessoryIconPinned"}))
      ->group(group);
  app.add_option("--banner-position", position_, "How the banner's bottom is anchored")
      ->check(CLI::IsMember({"regular", "bottomSafeArea", "bottomToEdge"}))
      ->group(group);
  app.add_flag("--banner-borderless", borderless_, "Full-width content without the card's border")
      ->group(group);
  app.add_option("--banner-insets", insets_,
                 "Outer insets: TOP LEFT BOTTOM RIGHT in points, each from 0 to " +
                     whole(Sandbox::BannerPicture::kMaxInset))
      ->expected(4)
      ->check(points(0, Sandbox::BannerPicture::kMaxInset, "INSET"))
      ->group(group);
}

bool BannerSvgCommand::owns(const CLI::Option& option) {
  const std::string& name = option.get_name();
  return option.get_group() == kGroup || name == "--help" || name == "--help-all";
}

std::vector<std::string> BannerSvgCommand::outputProblems() const {
  Sandbox::OutputPaths paths;
  paths.addFileOutput("--banner-svg", path_);
  return paths.problems();
}

int BannerSvgCommand::run(std::ostream& out, std::ostream& err) const {
  using Sandbox::SandboxTool;
  const auto say = [&err](std::string message) { SandboxTool::say(err, std::move(message)); };
  Sandbox::Interruption::setStopsAtOnce(false);  // a signal now drops the picture, said so
  const auto interrupted = [&] {
    say("interrupted: the banner picture was not written");
    return 128 + Sandbox::Interruption::signal();
  };

  Sandbox::BannerPicture::Options options;
  options.width = width_;
  options.safeAreaBottom = safeAreaBottom_;
  // Given is drawn as given, "" included (an empty title shows what a phone shows: no banner).
  if (titleOption_ && titleOption_->count() > 0) options.title = title_;
  if (subtitleOption_ && subtitleOption_->count() > 0) options.subtitle = subtitle_;
  options.showCloseButton = !noClose_;

  const bool customised =
      partnerLook_ || !cta_.empty() || !position_.empty() || borderless_ || !insets_.empty();
  if (customised) {
    BannerAppearance appearance =
        partnerLook_ ? Sandbox::SampleBannerStyle::partnerLook() : BannerAppearance{};
    if (auto type = bannerCTAType(cta_)) appearance.cta = BannerAppearance::CTA(*type);
    appearance.position = position(position_);
    if (borderless_) appearance.borderless = true;
    if (insets_.size() == 4) {
      appearance.insets = UI::EdgeInsets{insets_[0], insets_[1], insets_[2], insets_[3]};
    }
    options.appearance = appearance;
  }

  if (Sandbox::Interruption::requested()) return interrupted();
  std::string document;
  try {
    document = Sandbox::BannerPicture::svg(options);
  } catch (const std::exception& failure) {  // its font is missing
    say(failure.what());
    return SandboxTool::kOutputLost;
  }
  // A picture asked to stop while it was drawn is dropped rather than left for a later look.
  if (Sandbox::Interruption::requested()) return interrupted();

  std::optional<std::string> failure;
  if (Sandbox::OutputPaths::namesStandardOutput(path_)) {
    Sandbox::CheckedOutput checked(out);
    checked.put("the banner picture", document);
    checked.flush("the banner picture");
    failure = checked.failure();
  } else if (auto file = Sandbox::AtomicFile::open(path_, "the banner picture \"" + path_ + "\"")) {
    (*file)->write(document);
    if (auto committed = (*file)->commit()) failure = committed->localizedDescription;
  } else {
    failure = file.error().localizedDescription;
  }
  if (failure) say(*failure);
  return failure ? SandboxTool::kOutputLost : SandboxTool::kDone;
}

}  // namespace QVRAdKit::Tools
