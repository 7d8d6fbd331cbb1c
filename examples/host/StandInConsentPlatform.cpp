#include "StandInConsentPlatform.h"

#include <optional>
#include <utility>

namespace ExampleHost {

using namespace QVRAdKit;

void StandInConsentPlatform::requestConsentInfoUpdateWithParameters(
    const UMPRequestParameters& /*parameters*/, UpdateCompletion completion) {
  // The answer arrives on a later turn of the run loop, as the real platform's would.
  mainQueue_.async([weak = weak_from_this(), completion = std::move(completion)] {
    auto self = weak.lock();
    if (!self) return;
    self->status_ = UMPConsentStatus::notRequired;
    completion(std::nullopt);
  });
}

void StandInConsentPlatform::loadForm(UMPConsentForm::LoadCompletion completion) {
  mainQueue_.async([completion = std::move(completion)] {
    completion(nullptr, Platform::Error{"StandInConsentPlatform", 1, "No consent form is needed"});
  });
}

}  // namespace ExampleHost
