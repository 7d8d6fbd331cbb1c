#pragma once
// UMPConsentInformation is the consent platform's view of the user's consent: the current consent
// and form statuses and the request that refreshes them. An implementation (the sandbox's
// platform, or a bridge to the real library) registers itself in the environment under this type;
// sharedInstance(environment) answers that object, or, when nothing is registered, that
// environment's stand-in, which reports unknown / not available and fails every update.
// Example:
//   UMPConsentInformation::sharedInstance(environment)->requestConsentInfoUpdateWithParameters(
//       UMPRequestParameters{}, [](std::optional<Platform::Error> error) { ... });
// Threading: the module calls it on the main queue only, never from the background executor;
// the statuses may nonetheless be read from any thread. Completions arrive on the main queue.

#include <functional>
#include <memory>
#include <optional>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentStatus.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPFormStatus.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPRequestParameters.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class UMPConsentInformation {
 public:
  // Called once per update, with an error when the update failed.
  using UpdateCompletion = std::function<void(std::optional<Platform::Error>)>;

  virtual ~UMPConsentInformation() = default;

  // The object registered in environment, or its stand-in; never null.
  [[nodiscard]] static std::shared_ptr<UMPConsentInformation> sharedInstance(
      Platform::Environment& environment);

  [[nodiscard]] virtual UMPConsentStatus consentStatus() const = 0;
  [[nodiscard]] virtual UMPFormStatus formStatus() const = 0;
  // Refreshes both statuses, then calls completion exactly once (or never, if the platform never
  // answers).
  virtual void requestConsentInfoUpdateWithParameters(const UMPRequestParameters& parameters,
                                                      UpdateCompletion completion) = 0;
};

}  // namespace QVRAdKit
