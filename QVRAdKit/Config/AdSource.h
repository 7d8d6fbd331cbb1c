#pragma once
// AdSource names the ad network that serves a placement: Google Mobile Ads or IronSource
// mediation. A plain value; usable as a map key (std::hash of an enumeration is standard).

#include <string_view>

namespace QVRAdKit {

enum class AdSource { adMob, ironSource };

// The case name, as written in log texts: "adMob" or "ironSource".
[[nodiscard]] constexpr std::string_view caseName(AdSource source) {
  switch (source) {
    case AdSource::adMob:
      return "adMob";
    case AdSource::ironSource:
      return "ironSource";
  }
  return "unknown";
}

}  // namespace QVRAdKit
