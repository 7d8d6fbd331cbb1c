#pragma once
// ScriptedConsentPlatform is the consent platform for tests: the test sets the consent and form
// statuses, and every consent-information update and form load waits until the test answers it
// (success, an error, or never). Answers are delivered on the main queue, oldest request first.
// Example:
//   auto platform = ScriptedConsentPlatform::create();
//   platform->install(*environment);
//   service->loadGDPRConsent(...);
//   platform->setConsentStatus(UMPConsentStatus::required);
//   platform->setFormStatus(UMPFormStatus::available);
//   platform->answerUpdate();
//   environment->mainQueue().runUntilIdle();
//   auto form = platform->answerFormLoad();
// Threading: any thread; answers run on the main queue.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "QVRAdKit/Platform/Error.h"
#include "Sandbox/Consent/ConsentPlatformCore.h"
#include "Sandbox/Consent/ScriptedConsentForm.h"

namespace QVRAdKit::Sandbox {

class ScriptedConsentPlatform final : public ConsentPlatformCore {
 public:
  [[nodiscard]] static std::shared_ptr<ScriptedConsentPlatform> create();

  [[nodiscard]] std::size_t pendingUpdateCount() const;
  // Completes the oldest pending update; false when none is pending.
  bool answerUpdate(std::optional<Platform::Error> error = std::nullopt);

  [[nodiscard]] std::size_t pendingFormLoadCount() const;
  // Completes the oldest pending form load with a fresh scripted form and returns that form;
  // nullptr when no load is pending.
  std::shared_ptr<ScriptedConsentForm> answerFormLoad();
  // Completes the oldest pending form load with exactly (form, error); false when none is pending.
  bool answerFormLoad(std::shared_ptr<UMPConsentForm> form, std::optional<Platform::Error> error);

 protected:
  void handleUpdate(UpdateCompletion completion) override;
  void handleFormLoad(UMPConsentForm::LoadCompletion completion) override;

 private:
  ScriptedConsentPlatform() = default;

  mutable std::mutex requestsMutex_;
  std::deque<UpdateCompletion> pendingUpdates_;
  std::deque<UMPConsentForm::LoadCompletion> pendingFormLoads_;
};

}  // namespace QVRAdKit::Sandbox
