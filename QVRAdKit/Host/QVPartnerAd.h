#pragma once
// QVPartnerAd is one house (partner) ad that the host attaches to its user. The module only reads
// it; the host's objects implement it. An ad without an icon address answers none from iconUrl():
// the partner ads provider treats that as an empty address and never chooses such an ad.
// Threading: read on the main queue.

#include <cstdint>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit {

class QVPartnerAd {
 public:
  virtual ~QVPartnerAd() = default;
  [[nodiscard]] virtual Platform::URL redirectUrl() const = 0;
  // None when the host has no icon address for the ad.
  [[nodiscard]] virtual std::optional<Platform::URL> iconUrl() const = 0;
  [[nodiscard]] virtual std::string title() const = 0;
  [[nodiscard]] virtual std::string subtitle() const = 0;
  [[nodiscard]] virtual bool isCloseEnabled() const = 0;
  [[nodiscard]] virtual std::int64_t enabledState() const = 0;
  [[nodiscard]] virtual std::string partnerName() const = 0;
  [[nodiscard]] virtual std::string testGroup() const = 0;
  [[nodiscard]] virtual std::string testId() const = 0;
};

}  // namespace QVRAdKit
