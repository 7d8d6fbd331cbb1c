#include "Sandbox/Consent/ScriptedConsentForm.h"

#include <utility>

namespace QVRAdKit::Sandbox {

void ScriptedConsentForm::presentFromViewController(
    const std::shared_ptr<Platform::ViewController>& viewController, PresentCompletion completion) {
  std::lock_guard lock(mutex_);
  ++presentationCount_;
  lastViewController_ = viewController;
  pending_.push_back(std::move(completion));
}

std::size_t ScriptedConsentForm::presentationCount() const {
  std::lock_guard lock(mutex_);
  return presentationCount_;
}

std::size_t ScriptedConsentForm::pendingPresentationCount() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

std::shared_ptr<Platform::ViewController> ScriptedConsentForm::lastViewController() const {
  std::lock_guard lock(mutex_);
  return lastViewController_;
}

bool ScriptedConsentForm::answerPresentation(std::optional<Platform::Error> error) {
  PresentCompletion completion;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty()) return false;
    completion = std::move(pending_.front());
    pending_.pop_front();
  }
  if (completion) {
    environment_.mainQueue().async(
        [completion = std::move(completion), error = std::move(error)] { completion(error); });
  }
  return true;
}

}  // namespace QVRAdKit::Sandbox
