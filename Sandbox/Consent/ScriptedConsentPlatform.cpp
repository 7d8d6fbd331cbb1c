#include "Sandbox/Consent/ScriptedConsentPlatform.h"

#include <utility>

namespace QVRAdKit::Sandbox {

std::shared_ptr<ScriptedConsentPlatform> ScriptedConsentPlatform::create() {
  return std::shared_ptr<ScriptedConsentPlatform>(new ScriptedConsentPlatform());
}

void ScriptedConsentPlatform::handleUpdate(UpdateCompletion completion) {
  std::lock_guard lock(requestsMutex_);
  pendingUpdates_.push_back(std::move(completion));
}

void ScriptedConsentPlatform::handleFormLoad(UMPConsentForm::LoadCompletion completion) {
  std::lock_guard lock(requestsMutex_);
  pendingFormLoads_.push_back(std::move(completion));
}

std::size_t ScriptedConsentPlatform::pendingUpdateCount() const {
  std::lock_guard lock(requestsMutex_);
  return pendingUpdates_.size();
}

std::size_t ScriptedConsentPlatform::pendingFormLoadCount() const {
  std::lock_guard lock(requestsMutex_);
  return pendingFormLoads_.size();
}

bool ScriptedConsentPlatform::answerUpdate(std::optional<Platform::Error> error) {
  UpdateCompletion completion;
  {
    std::lock_guard lock(requestsMutex_);
    if (pendingUpdates_.empty()) return false;
    completion = std::move(pendingUpdates_.front());
    pendingUpdates_.pop_front();
  }
  // The completion (and whatever it holds) lives only until it has run.
  if (completion) {
    post(0, [completion = std::move(completion), error = std::move(error)] { completion(error); });
  }
  return true;
}

std::shared_ptr<ScriptedConsentForm> ScriptedConsentPlatform::answerFormLoad() {
  auto form = std::make_shared<ScriptedConsentForm>(environment());
  if (!answerFormLoad(form, std::nullopt)) return nullptr;
  return form;
}

bool ScriptedConsentPlatform::answerFormLoad(std::shared_ptr<UMPConsentForm> form,
                                             std::optional<Platform::Error> error) {
  UMPConsentForm::LoadCompletion completion;
  {
    std::lock_guard lock(requestsMutex_);
    if (pendingFormLoads_.empty()) return false;
    completion = std::move(pendingFormLoads_.front());
    pendingFormLoads_.pop_front();
  }
  if (completion) {
    post(0, [completion = std::move(completion), form = std::move(form), error = std::move(error)] {
      completion(form, error);
    });
  }
  return true;
}

}  // namespace QVRAdKit::Sandbox
