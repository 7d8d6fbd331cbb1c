#pragma once
// WaterfallableAd is what a waterfall needs of the ads it holds: whether the load failed (a failed
// ad never becomes loaded), whether it holds a creative that may still be shown, and whether a load
// is in progress (without consecutive repeats).

#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class WaterfallableAd {
 public:
  virtual ~WaterfallableAd() = default;
  [[nodiscard]] virtual bool isFailed() const = 0;
  [[nodiscard]] virtual bool isLoaded() const = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isLoadingStream() const = 0;
};

}  // namespace QVRAdKit
