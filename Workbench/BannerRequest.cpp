#include "Workbench/BannerRequest.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "QVRAdKit/Banner/BannerCTAType.h"
#include "QVRAdKit/UI/TextCharacters.h"
#include "Sandbox/Banner/SampleBannerStyle.h"

namespace QVRAdKit::Workbench {
namespace {

using Options = Sandbox::BannerPicture::Options;
using BadParameter = BannerRequest::BadParameter;

constexpr std::string_view kKnown[] = {"width",      "cta",   "position", "insets",
                                       "borderless", "close", "title",    "subtitle"};

// A whole decimal number (no spaces, no hex, no infinity), or none.
std::optional<double> number(const std::string& text) {
  if (text.empty() || text.size() > 32) return std::nullopt;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+')) return std::nullopt;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<bool> boolean(const std::string& text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

std::optional<BannerAppearance::Position> position(const std::string& text) {
  if (text == "regular") return BannerAppearance::Position::regular;
  if (text == "bottomSafeArea") return BannerAppearance::Position::bottomSafeArea;
  if (text == "bottomToEdge") return BannerAppearance::Position::bottomToEdge;
  return std::nullopt;
}

std::optional<UI::EdgeInsets> insets(const std::string& text) {
  std::vector<double> values;
  std::string_view rest = text;
  for (;;) {
    const auto comma = rest.find(',');
    const auto value = number(std::string(rest.substr(0, comma)));
    if (!value || *value < 0 || *value > BannerRequest::kMaxInset) return std::nullopt;
    values.push_back(*value);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (values.size() != 4) return std::nullopt;
  return UI::EdgeInsets{values[0], values[1], values[2], values[3]};
}

// Whether text is at most the limit of characters, counted as the banner's labels split them
// (a letter with its marks, a flag, an emoji family are one each; a bad byte counts as one).
bool withinLimit(const std::string& text) {
  std::size_t characters = 0;
  for (std::size_t at = 0; at < text.size(); ++characters) {
    if (characters == BannerRequest::kMaxTextCharacters) return false;
    at = UI::TextCharacters::end(text, at);
  }
  return true;
}

BadParameter bad(std::string_view name, std::string_view problem) {
  std::string message(name);
  message += ": ";
  message += problem;
  return {message};
}

}  // namespace

BannerRequest::Read BannerRequest::read(const Parameters& parameters) {
  for (const auto& [name, value] : parameters) {
    bool known = false;
    for (const auto candidate : kKnown) known = known || name == candidate;
    if (!known) {
      return bad(name.size() > 40 ? name.substr(0, 40) + "…" : name,
                 "unknown parameter (known: width, cta, position, insets, borderless, close, "
                 "title, subtitle)");
    }
    if (parameters.count(name) > 1) return bad(name, "given more than once");
  }
  const auto find = [&](const char* name) -> const std::string* {
    const auto found = parameters.find(name);
    return found == parameters.end() ? nullptr : &found->second;
  };

  Options options;
  BannerAppearance look = Sandbox::SampleBannerStyle::partnerLook();
  if (const auto* text = find("width")) {
    const auto width = number(*text);
    if (!width || *width < kMinWidth || *width > kMaxWidth) {
      return bad("width", "must be a number of points from 200 to 2048");
    }
    options.width = *width;
  }
  if (const auto* text = find("cta")) {
    const auto type = bannerCTAType(*text);
    if (!type) return bad("cta", "must be bottomButton, accessoryIcon or accessoryIconPinned");
    look.cta = BannerAppearance::CTA(*type);
  }
  if (const auto* text = find("position")) {
    const auto anchored = position(*text);
    if (!anchored) return bad("position", "must be regular, bottomSafeArea or bottomToEdge");
    look.position = anchored;
  }
  if (const auto* text = find("insets")) {
    const auto outer = insets(*text);
    if (!outer) return bad("insets", "must be TOP,LEFT,BOTTOM,RIGHT: four numbers from 0 to 64");
    look.insets = outer;
  }
  if (const auto* text = find("borderless")) {
    const auto value = boolean(*text);
    if (!value) return bad("borderless", "must be true or false");
    look.borderless = *value;
  }
  if (const auto* text = find("close")) {
    const auto value = boolean(*text);
    if (!value) return bad("close", "must be true or false");
    options.showCloseButton = *value;
  }
  for (const char* name : {"title", "subtitle"}) {
    const auto* text = find(name);
    if (!text) continue;
    if (!withinLimit(*text)) return bad(name, "must be at most 120 characters");
    // A phone never shows a partner ad without a title: there would be nothing to preview.
    if (text->empty() && std::string_view(name) == "title") {
      return bad(name, "a partner ad without a title is never shown");
    }
    (std::string_view(name) == "title" ? options.title : options.subtitle) = *text;
  }
  options.appearance = look;
  return options;
}

}  // namespace QVRAdKit::Workbench
