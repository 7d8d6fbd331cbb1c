#pragma once
// WaterfallableAd is what a waterfall needs of the ads it holds: whether the load failed (a failed
// ad never becomes loaded), whether it holds a creative that may still be shown, and whether a load
// is in progress (without consecutive repeats; or, for a consumer that drops repeats itself, as the
// ad's state holds it, which spares that subscription an operator).

#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class WaterfallableAd {
 public:
  virtual ~WaterfallableAd() = default;
  [[nodiscard]] virtual bool isFailed() const = 0;
  [[nodiscard]] virtual bool isLoaded() const = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isLoadingStream() const = 0;
  // The same values, consecutive repeats allowed.
  [[nodiscard]] virtual Rx::Observable<bool> isLoadingValues() const { return isLoadingStream(); }
};

}  // namespace QVRAdKit
