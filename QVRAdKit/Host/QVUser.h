#pragma once
// QVUser is the host's signed-in user. The module reads whether the user is premium (premium users
// see no ads) and the partner ads attached to the user.

#include <memory>
#include <vector>

#include "QVRAdKit/Host/QVPartnerAd.h"

namespace QVRAdKit {

class QVUser {
 public:
  virtual ~QVUser() = default;
  [[nodiscard]] virtual bool isPremium() const = 0;
  [[nodiscard]] virtual std::vector<std::shared_ptr<const QVPartnerAd>> partnerAds() const = 0;
};

// The user as streams carry it: nullptr means no user yet.
using QVUserPtr = std::shared_ptr<const QVUser>;

}  // namespace QVRAdKit
