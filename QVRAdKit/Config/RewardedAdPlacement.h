#pragma once
// RewardedAdPlacement names where a rewarded video may be shown: only the time wall, whose video
// grants the user time. A plain value; usable as a map key.

#include <string_view>

namespace QVRAdKit {

enum class RewardedAdPlacement { timewall };

// The case name, as written in log texts: "timewall".
[[nodiscard]] constexpr std::string_view caseName(RewardedAdPlacement placement) {
  switch (placement) {
    case RewardedAdPlacement::timewall:
      return "timewall";
  }
  return "unknown";
}

}  // namespace QVRAdKit
