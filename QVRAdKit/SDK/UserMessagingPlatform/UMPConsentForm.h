#pragma once
// UMPConsentForm is one loaded consent form of the consent platform, ready to be shown to the
// user. Forms are obtained through loadWithCompletionHandler(), which forwards to the
// UMPConsentFormLoader registered in the environment it is given; without one it fails on that
// environment's main queue.
// Threading: main queue (never the background executor); completions arrive on the main queue.

#include <functional>
#include <memory>
#include <optional>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class UMPConsentForm {
 public:
  // The loaded form or nullptr, and the error when the load failed.
  using LoadCompletion =
      std::function<void(std::shared_ptr<UMPConsentForm>, std::optional<Platform::Error>)>;
  // Called once the user has answered the form (no error) or the form could not be shown.
  using PresentCompletion = std::function<void(std::optional<Platform::Error>)>;

  virtual ~UMPConsentForm() = default;

  static void loadWithCompletionHandler(Platform::Environment& environment,
                                        LoadCompletion completion);

  virtual void presentFromViewController(
      const std::shared_ptr<Platform::ViewController>& viewController,
      PresentCompletion completion) = 0;
};

}  // namespace QVRAdKit
