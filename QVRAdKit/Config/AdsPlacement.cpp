#include "QVRAdKit/Config/AdsPlacement.h"

#include <string_view>

namespace QVRAdKit {

namespace {

struct Parts {
  std::string_view format;
  std::string_view type;
  std::string_view placement;
};

Parts partsOf(const AdsPlacement::Payload& payload) {
  struct Describe {
    Parts operator()(InterstitialAdPlacement placement) const {
      return {"interstitial", "InterstitialAdPlacement", caseName(placement)};
    }
    Parts operator()(RewardedAdPlacement placement) const {
      return {"rewarded", "RewardedAdPlacement", caseName(placement)};
    }
    Parts operator()(AppOpenAdPlacement placement) const {
      return {"appOpen", "AppOpenAdPlacement", caseName(placement)};
    }
  };
  return std::visit(Describe{}, payload);
}

}  // namespace

std::string AdsPlacement::description() const {
  constexpr std::string_view kModule = "QVRAdKit.";
  const Parts parts = partsOf(payload_);
  std::string text;
  text.reserve(parts.format.size() + kModule.size() + parts.type.size() + parts.placement.size() +
               3);
  text.append(parts.format).append("(").append(kModule).append(parts.type).append(".");
  text.append(parts.placement).append(")");
  return text;
}

}  // namespace QVRAdKit
