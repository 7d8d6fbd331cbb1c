#pragma once
// GADAdReward is the reward a rewarded ad grants: an amount and the reward's type (its name).
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <string>

#include "QVRAdKit/Platform/Decimal.h"

namespace QVRAdKit {

struct GADAdReward {
  Platform::Decimal amount;
  std::string type;

  bool operator==(const GADAdReward&) const = default;
};

}  // namespace QVRAdKit
