#pragma once
// QVRConsentForm wraps one loaded consent form of the consent platform, the object the consent
// service keeps for the host to present. A wrapper never wraps a missing form: formWith() and
// initWithForm() answer nullptr for one. A wrapper belongs to the environment its form came from,
// whose main queue carries its errors.
// Threading: main queue; the presentation completion arrives on the main queue.

#include <functional>
#include <memory>
#include <optional>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentForm.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class QVRConsentForm {
 public:
  using PresentCompletion = UMPConsentForm::PresentCompletion;

  // A wrapper of form, or nullptr when form is null. environment outlives the wrapper.
  [[nodiscard]] static std::shared_ptr<QVRConsentForm> formWith(
      Platform::Environment& environment, std::shared_ptr<UMPConsentForm> form);
  [[nodiscard]] static std::shared_ptr<QVRConsentForm> initWithForm(
      Platform::Environment& environment, std::shared_ptr<UMPConsentForm> form);

  QVRConsentForm(Platform::Environment& environment, std::shared_ptr<UMPConsentForm> form)
      : environment_(&environment), consentForm_(std::move(form)) {}

  [[nodiscard]] const std::shared_ptr<UMPConsentForm>& consentForm() const { return consentForm_; }
  void setConsentForm(std::shared_ptr<UMPConsentForm> form) { consentForm_ = std::move(form); }

  // Shows the wrapped form from viewController; completion receives the form's answer. If the
  // wrapper was emptied with setConsentForm(nullptr), completion receives an error on the main
  // queue instead.
  void presentFromViewController(const std::shared_ptr<Platform::ViewController>& viewController,
                                 PresentCompletion completion) const;

 private:
  Platform::Environment* environment_;
  std::shared_ptr<UMPConsentForm> consentForm_;
};

}  // namespace QVRAdKit
