#pragma once
// BannerAppearanceProvider is the host's table of per-partner banner looks. The banner module asks
// it for the partner of each banner it shows; the partner is none for every name the module does
// not know (see PartnerAdName), so a host can still give those banners a common look.
// Threading: called on the main queue.

#include <optional>

#include "QVRAdKit/Banner/BannerAppearance.h"
#include "QVRAdKit/Banner/PartnerAdName.h"

namespace QVRAdKit {

class BannerAppearanceProvider {
 public:
  virtual ~BannerAppearanceProvider() = default;
  // The overrides for this partner, or none to show the bare style.
  [[nodiscard]] virtual std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> name) const = 0;
};

}  // namespace QVRAdKit
