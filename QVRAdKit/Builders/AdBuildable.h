#pragma once
// AdBuildable is what the ads service asks of every builder: start reacting to the host's user
// (idempotent), drop and load again, and tell whether the builder's ads are loading (without
// consecutive repeats).
// Threading: main queue.

#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class AdBuildable {
 public:
  virtual ~AdBuildable() = default;
  virtual void start() = 0;
  virtual void reload() = 0;
  [[nodiscard]] virtual Rx::Observable<bool> isLoadingStream() const = 0;
};

}  // namespace QVRAdKit
