#pragma once
// IronSourceVideoReward is the reward the rewarded-video handler hands to the listening ad when
// the SDK grants one: the reward's name and its amount as the SDK gave it (a decimal number or
// not; see ISPlacementInfo).
// Threading: a value, copied from the handler to the ad.

#include <string>

#include "QVRAdKit/SDK/IronSource/ISPlacementInfo.h"

namespace QVRAdKit {

struct IronSourceVideoReward {
  std::string name;
  ISPlacementInfo::Amount amount = 0.0;

  bool operator==(const IronSourceVideoReward&) const = default;
};

}  // namespace QVRAdKit
