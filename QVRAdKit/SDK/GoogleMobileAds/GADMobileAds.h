#pragma once
// GADMobileAds is the Google Mobile Ads SDK as a whole: the module starts it once before loading
// ads. sharedInstance() answers the implementation registered in the current environment under
// this type (the sandbox, or a bridge to the real SDK), or nullptr when none is.
// Threading: startWithCompletionHandler() may be called from any thread; its completion arrives
// on the main queue, once.

#include <functional>
#include <memory>

#include "QVRAdKit/SDK/GoogleMobileAds/GADInitializationStatus.h"

namespace QVRAdKit {

class GADMobileAds {
 public:
  using StartCompletion = std::function<void(const GADInitializationStatus&)>;

  virtual ~GADMobileAds() = default;

  [[nodiscard]] static std::shared_ptr<GADMobileAds> sharedInstance();

  virtual void startWithCompletionHandler(StartCompletion completion) = 0;
};

}  // namespace QVRAdKit
