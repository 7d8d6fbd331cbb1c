#pragma once
// AdsConfigProvidable is how the host hands its ads configuration to the ads service: rx() gives
// the configuration stream. The ads service owns its provider, so the object rx() refers to must
// live as long as the provider (a host often answers *this).
// Threading: rx() is called from the background executor during a start-up run.

#include <string>

#include "QVRAdKit/Config/RxAdsConfigProvidable.h"

namespace QVRAdKit {

class AdsConfigProvidable {
 public:
  virtual ~AdsConfigProvidable() = default;

  // The name under which the host keeps this configuration (say, its remote-config key), for the
  // host's own diagnostics. The module never reads it.
  [[nodiscard]] virtual std::string configurationName() const = 0;
  [[nodiscard]] virtual const RxAdsConfigProvidable& rx() const = 0;
};

}  // namespace QVRAdKit
