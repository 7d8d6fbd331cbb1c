#pragma once
// PartnerAdName lists the partners whose banners the host knows how to dress up: the banner module
// turns a model's partnerName text into one and asks the host's BannerAppearanceProvider for that
// partner's look. A text that names no known partner gives none.
// Example: partnerAdName("kd_free_trial_2022") == PartnerAdName::kdFreeTrial2022
// A plain value; usable as a map key (std::hash of an enumeration is standard).

#include <optional>
#include <string_view>

namespace QVRAdKit {

enum class PartnerAdName { kdFreeTrial2022 };

// The partner's text as the host's data writes it: "kd_free_trial_2022".
[[nodiscard]] constexpr std::string_view rawValue(PartnerAdName name) {
  switch (name) {
    case PartnerAdName::kdFreeTrial2022:
      return "kd_free_trial_2022";
  }
  return "";
}

// The partner whose raw value is exactly this text (case and spaces matter); none otherwise, the
// empty text included.
[[nodiscard]] constexpr std::optional<PartnerAdName> partnerAdName(std::string_view raw) {
  if (raw == rawValue(PartnerAdName::kdFreeTrial2022)) return PartnerAdName::kdFreeTrial2022;
  return std::nullopt;
}

}  // namespace QVRAdKit
