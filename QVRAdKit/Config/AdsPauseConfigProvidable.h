#pragma once
// AdsPauseConfigProvidable hands the host's pause switches to the ads service. pauseConfig() is
// read afresh at every decision, so the host may replace its switches at any time; none means no
// switch holds anything back. Answering a stored AdsPauseConfig by copy costs no allocation.
// Threading: called on the main queue.

#include <optional>

#include "QVRAdKit/Config/AdsPauseConfig.h"

namespace QVRAdKit {

class AdsPauseConfigProvidable {
 public:
  virtual ~AdsPauseConfigProvidable() = default;

  [[nodiscard]] virtual std::optional<AdsPauseConfig> pauseConfig() const = 0;
};

}  // namespace QVRAdKit
