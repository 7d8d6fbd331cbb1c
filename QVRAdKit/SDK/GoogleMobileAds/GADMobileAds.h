#pragma once
// GADMobileAds is the Google Mobile Ads SDK as a whole: the module starts it once before loading
// ads. sharedInstance(environment) answers the implementation registered in that environment under
// this type (the sandbox, or a bridge to the real SDK), or nullptr when none is.
// Threading: sharedInstance() on the main queue. startWithCompletionHandler() is called from the
// background executor (the ads service's start-up run starts its networks there) and must accept
// that; its completion arrives on the main queue, once. Everything else: main queue.

#include <functional>
#include <memory>

#include "QVRAdKit/SDK/GoogleMobileAds/GADInitializationStatus.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class GADMobileAds {
 public:
  using StartCompletion = std::function<void(const GADInitializationStatus&)>;

  virtual ~GADMobileAds() = default;

  [[nodiscard]] static std::shared_ptr<GADMobileAds> sharedInstance(
      const Platform::Environment& environment);

  virtual void startWithCompletionHandler(StartCompletion completion) = 0;
};

}  // namespace QVRAdKit
