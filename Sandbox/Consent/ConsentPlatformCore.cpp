#include "Sandbox/Consent/ConsentPlatformCore.h"

#include <utility>

namespace QVRAdKit::Sandbox {

Platform::Error ConsentPlatformCore::makeError(int code, std::string description) {
  return Platform::Error{kErrorDomain, code, std::move(description)};
}

void ConsentPlatformCore::install(Platform::Environment& environment) {
  {
    std::lock_guard lock(mutex_);
    environment_ = &environment;
  }
  environment.setService<UMPConsentInformation>(shared_from_this());
  environment.setService<UMPConsentFormLoader>(shared_from_this());
}

UMPConsentStatus ConsentPlatformCore::consentStatus() const {
  std::lock_guard lock(mutex_);
  return consentStatus_;
}

UMPFormStatus ConsentPlatformCore::formStatus() const {
  std::lock_guard lock(mutex_);
  return formStatus_;
}

void ConsentPlatformCore::setConsentStatus(UMPConsentStatus status) {
  std::lock_guard lock(mutex_);
  consentStatus_ = status;
}

void ConsentPlatformCore::setFormStatus(UMPFormStatus status) {
  std::lock_guard lock(mutex_);
  formStatus_ = status;
}

void ConsentPlatformCore::requestConsentInfoUpdateWithParameters(
    const UMPRequestParameters& parameters, UpdateCompletion completion) {
  {
    std::lock_guard lock(mutex_);
    ++updateRequestCount_;
    lastUpdateParameters_ = parameters;
  }
  handleUpdate(std::move(completion));
}

void ConsentPlatformCore::loadForm(UMPConsentForm::LoadCompletion completion) {
  {
    std::lock_guard lock(mutex_);
    ++formLoadRequestCount_;
  }
  handleFormLoad(std::move(completion));
}

std::size_t ConsentPlatformCore::updateRequestCount() const {
  std::lock_guard lock(mutex_);
  return updateRequestCount_;
}

std::optional<UMPRequestParameters> ConsentPlatformCore::lastUpdateParameters() const {
  std::lock_guard lock(mutex_);
  return lastUpdateParameters_;
}

std::size_t ConsentPlatformCore::formLoadRequestCount() const {
  std::lock_guard lock(mutex_);
  return formLoadRequestCount_;
}

Platform::Environment& ConsentPlatformCore::environment() const {
  std::lock_guard lock(mutex_);
  return environment_ ? *environment_ : Platform::Environment::current();
}

void ConsentPlatformCore::post(Platform::TimeInterval delay, std::function<void()> task) const {
  Platform::MainQueue& queue = environment().mainQueue();
  if (delay > 0) {
    queue.asyncAfter(delay, std::move(task));
  } else {
    queue.async(std::move(task));
  }
}

}  // namespace QVRAdKit::Sandbox
