#pragma once
// ISPlacementInfo describes the reward of an IronSource rewarded-video placement. The SDK hands the
// amount over as a number object that may or may not be a decimal number; Amount keeps that
// distinction (a plain double, or a Platform::Decimal) because the bridge honours only decimals.
// Example: ISPlacementInfo{"coins", Platform::Decimal::fromInt(5), "DefaultRewardedVideo"}
// Threading: a value.

#include <string>
#include <variant>

#include "QVRAdKit/Platform/Decimal.h"

namespace QVRAdKit {

struct ISPlacementInfo {
  using Amount = std::variant<double, Platform::Decimal>;

  // Empty when the placement's reward has no name.
  std::string rewardName;
  Amount rewardAmount = 0.0;
  std::string placementName;

  bool operator==(const ISPlacementInfo&) const = default;
};

}  // namespace QVRAdKit
