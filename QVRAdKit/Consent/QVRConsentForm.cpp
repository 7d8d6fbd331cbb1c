#include "QVRAdKit/Consent/QVRConsentForm.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPError.h"

namespace QVRAdKit {

std::shared_ptr<QVRConsentForm> QVRConsentForm::formWith(Platform::Environment& environment,
                                                         std::shared_ptr<UMPConsentForm> form) {
  return initWithForm(environment, std::move(form));
}

std::shared_ptr<QVRConsentForm> QVRConsentForm::initWithForm(Platform::Environment& environment,
                                                             std::shared_ptr<UMPConsentForm> form) {
  if (!form) return nullptr;
  return std::make_shared<QVRConsentForm>(environment, std::move(form));
}

void QVRConsentForm::presentFromViewController(
    const std::shared_ptr<Platform::ViewController>& viewController,
    PresentCompletion completion) const {
  if (consentForm_) {
    consentForm_->presentFromViewController(viewController, std::move(completion));
    return;
  }
  if (!completion) return;
  environment_->mainQueue().async([completion = std::move(completion)] {
    completion(Platform::Error{UMPError::kDomain, UMPError::kNotInstalled,
                               "presentFromViewController: the wrapper holds no consent form"});
  });
}

}  // namespace QVRAdKit
