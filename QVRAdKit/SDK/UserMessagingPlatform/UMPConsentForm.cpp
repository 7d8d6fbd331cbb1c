#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentForm.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPError.h"

namespace QVRAdKit {

void UMPConsentForm::loadWithCompletionHandler(Platform::Environment& environment,
                                               LoadCompletion completion) {
  if (auto loader = environment.service<UMPConsentFormLoader>()) {
    loader->loadForm(std::move(completion));
    return;
  }
  if (!completion) return;
  environment.mainQueue().async([completion = std::move(completion)] {
    completion(nullptr, UMPError::notInstalled("loadWithCompletionHandler"));
  });
}

}  // namespace QVRAdKit
