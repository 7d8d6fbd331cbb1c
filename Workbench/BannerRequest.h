#pragma once
// BannerRequest reads the banner preview's parameters (the query of GET /api/banner.svg) into the
// banner picture's options, over the sample partner's look, or says which parameter is wrong and
// why. Every parameter is optional; each may be given once:
//   width=W            points, 200 to 2048 (375 by default)
//   cta=T              bottomButton | accessoryIcon | accessoryIconPinned (the look's own: none)
//   position=P         regular | bottomSafeArea | bottomToEdge
//   insets=T,L,B,R     outer insets in points, each 0 to 64
//   borderless=B       true | false
//   close=B            true | false: whether the partner ad can be closed (true by default)
//   title=TEXT         not empty, at most kMaxTextCharacters characters as the banner's labels
//                      count them (UI::TextCharacters); a line feed splits it into title and
//                      subtitle for the accessory-icon calls to action
//   subtitle=TEXT      at most kMaxTextCharacters characters; may be empty
// Example: read({{"width", "768"}, {"cta", "accessoryIcon"}}) -> options at 768 points
// Threading: pure function.

#include <map>
#include <string>
#include <variant>

#include "Sandbox/Banner/BannerPicture.h"

namespace QVRAdKit::Workbench {

class BannerRequest {
 public:
  static constexpr double kMinWidth = Sandbox::BannerPicture::kMinWidth;
  static constexpr double kMaxWidth = Sandbox::BannerPicture::kMaxWidth;
  static constexpr double kMaxInset = Sandbox::BannerPicture::kMaxInset;
  static constexpr std::size_t kMaxTextCharacters = 120;

  // A parameter's name and value, as many times as it was given.
  using Parameters = std::multimap<std::string, std::string>;
  // What is wrong, one line naming the parameter: "width: must be a number from 200 to 2048".
  struct BadParameter {
    std::string message;
  };
  using Read = std::variant<Sandbox::BannerPicture::Options, BadParameter>;

  BannerRequest() = delete;

  [[nodiscard]] static Read read(const Parameters& parameters);
};

}  // namespace QVRAdKit::Workbench
