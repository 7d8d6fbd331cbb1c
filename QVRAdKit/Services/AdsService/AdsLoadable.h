#pragma once
// AdsLoadable is anything that can be told to start loading ads: the ads service and the small
// loader a host builds from its own builders.
// Threading: main queue.

namespace QVRAdKit {

class AdsLoadable {
 public:
  virtual ~AdsLoadable() = default;

  virtual void loadAds() = 0;
};

}  // namespace QVRAdKit
