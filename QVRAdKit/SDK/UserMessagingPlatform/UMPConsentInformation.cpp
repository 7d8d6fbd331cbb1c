#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPError.h"

namespace QVRAdKit {

namespace {

// Answers for an environment without a consent platform: nothing is known, no form is available
// and every update fails on the main queue, as the real library does when it cannot be reached.
class UnavailableConsentInformation final : public UMPConsentInformation {
 public:
  [[nodiscard]] UMPConsentStatus consentStatus() const override {
    return UMPConsentStatus::unknown;
  }
  [[nodiscard]] UMPFormStatus formStatus() const override { return UMPFormStatus::unknown; }
  void requestConsentInfoUpdateWithParameters(const UMPRequestParameters& /*parameters*/,
                                              UpdateCompletion completion) override {
    if (!completion) return;
    Platform::Environment::current().mainQueue().async([completion = std::move(completion)] {
      completion(UMPError::notInstalled("requestConsentInfoUpdate"));
    });
  }
};

}  // namespace

std::shared_ptr<UMPConsentInformation> UMPConsentInformation::sharedInstance() {
  if (auto registered = Platform::Environment::current().service<UMPConsentInformation>()) {
    return registered;
  }
  static const std::shared_ptr<UMPConsentInformation> unavailable =
      std::make_shared<UnavailableConsentInformation>();
  return unavailable;
}

}  // namespace QVRAdKit
