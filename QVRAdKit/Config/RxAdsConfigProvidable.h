#pragma once
// RxAdsConfigProvidable is the host's ads configuration as a stream. The ads service subscribes at
// each start-up run and takes the first value only; later values wait for the next run.
// Threading: adsConfig() is called from the background executor during a start-up run; the
// stream may emit on any thread.

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class RxAdsConfigProvidable {
 public:
  virtual ~RxAdsConfigProvidable() = default;

  [[nodiscard]] virtual Rx::Observable<AdsConfig> adsConfig() const = 0;
};

}  // namespace QVRAdKit
