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
  explicit UnavailableConsentInformation(Platform::MainQueue& mainQueue) : mainQueue_(mainQueue) {}

  [[nodiscard]] UMPConsentStatus consentStatus() const override {
    return UMPConsentStatus::unknown;
  }
  [[nodiscard]] UMPFormStatus formStatus() const override { return UMPFormStatus::unknown; }
  void requestConsentInfoUpdateWithParameters(const UMPRequestParameters& /*parameters*/,
                                              UpdateCompletion completion) override {
    if (!completion) return;
    mainQueue_.async([completion = std::move(completion)] {
      completion(UMPError::notInstalled("requestConsentInfoUpdate"));
    });
  }

 private:
  // The queue of the environment that owns this stand-in, which outlives it.
  Platform::MainQueue& mainQueue_;
};

}  // namespace

std::shared_ptr<UMPConsentInformation> UMPConsentInformation::sharedInstance(
    Platform::Environment& environment) {
  if (auto registered = environment.service<UMPConsentInformation>()) return registered;
  // One stand-in per environment: its failures go to that environment's main queue.
  return environment.sharedInstance<UnavailableConsentInformation>([&environment] {
    return std::make_shared<UnavailableConsentInformation>(environment.mainQueue());
  });
}

}  // namespace QVRAdKit
