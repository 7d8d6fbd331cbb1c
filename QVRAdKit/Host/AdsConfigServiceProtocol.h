#pragma once
// AdsConfigServiceProtocol: what the host asks the ads service about its own flow.
// Threading: called on the main queue.

#include "QVRAdKit/Host/InterstitialType.h"

namespace QVRAdKit {

class AdsConfigServiceProtocol {
 public:
  virtual ~AdsConfigServiceProtocol() = default;
  [[nodiscard]] virtual double appOpenAdTimeout() const = 0;
  virtual InterstitialType interstitialTypeToPresent() = 0;
  [[nodiscard]] virtual bool shouldShowAppLaunchAd() const = 0;
  [[nodiscard]] virtual bool shouldShowDisconnectAd() const = 0;
};

}  // namespace QVRAdKit
