#pragma once
// RateUsServiceProtocol: the host's rate-us prompt state, asked before an interstitial is granted.
// Threading: called on the main queue.

#include "QVRAdKit/Host/RateUsMoment.h"

namespace QVRAdKit {

class RateUsServiceProtocol {
 public:
  virtual ~RateUsServiceProtocol() = default;
  // Whether the moment is one at which the rate-us prompt may appear.
  [[nodiscard]] virtual bool rateUsMomentCheck(RateUsMoment moment) const = 0;
  // Read after a true moment check: false withholds the interstitial.
  [[nodiscard]] virtual bool rateUsPromptFlag() const = 0;
  // True withholds the interstitial at the moment.
  [[nodiscard]] virtual bool rateUsMomentBlock(RateUsMoment moment) const = 0;
};

}  // namespace QVRAdKit
