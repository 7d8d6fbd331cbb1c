#pragma once
// ScriptedConsentForm is a consent form for tests: each presentation is recorded and waits until
// the test answers it (the user's answer, an error, or never). It changes no consent state of its
// own; a test sets the platform's statuses itself.
// Threading: main queue; answers are delivered on the main queue of the platform's environment.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentForm.h"

namespace QVRAdKit::Sandbox {

class ScriptedConsentForm final : public UMPConsentForm {
 public:
  // Answers go to environment's main queue.
  explicit ScriptedConsentForm(Platform::Environment& environment) : environment_(environment) {}

  void presentFromViewController(const std::shared_ptr<Platform::ViewController>& viewController,
                                 PresentCompletion completion) override;

  [[nodiscard]] std::size_t presentationCount() const;
  [[nodiscard]] std::size_t pendingPresentationCount() const;
  [[nodiscard]] std::shared_ptr<Platform::ViewController> lastViewController() const;
  // Completes the oldest pending presentation (no error: the user answered) on the main queue;
  // false when none is pending.
  bool answerPresentation(std::optional<Platform::Error> error = std::nullopt);

 private:
  Platform::Environment& environment_;
  mutable std::mutex mutex_;
  std::size_t presentationCount_ = 0;
  std::shared_ptr<Platform::ViewController> lastViewController_;
  std::deque<PresentCompletion> pending_;
};

}  // namespace QVRAdKit::Sandbox
