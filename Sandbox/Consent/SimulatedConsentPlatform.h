#pragma once
// SimulatedConsentPlatform is the consent platform of the sandbox host. It plays a user in a
// region where consent is required or not:
// - not required: the first consent-information update sets the status to notRequired and no
//   form is ever available;
// - required: an update sets the status to required (until the user has answered) and makes a
//   form available; presenting a loaded form lets the user answer after a while: the answer's TCF
//   strings are written to the environment's user defaults under "IABTCF_PurposeConsents" and
//   "IABTCF_PurposeLegitimateInterests", as a real consent platform does, and the status becomes
//   obtained (and stays so).
// Each form can be presented once, like the real library's. Every answer comes on the main queue
// after its latency in clock time.
// Example:
//   SimulatedConsentPlatform::Options options;
//   options.userAnswer = ConsentUserAnswer::rejectAll();
//   SimulatedConsentPlatform::create(options)->install(*environment);
// Threading: any thread; answers run on the main queue.

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/ViewController.h"
#include "Sandbox/Consent/ConsentPlatformCore.h"
#include "Sandbox/Consent/ConsentRegion.h"
#include "Sandbox/Consent/ConsentUserAnswer.h"

namespace QVRAdKit::Sandbox {

class SimulatedConsentPlatform final : public ConsentPlatformCore {
 public:
  struct Options {
    ConsentRegion region = ConsentRegion::consentRequired;
    ConsentUserAnswer userAnswer = ConsentUserAnswer::acceptAll();
    // Seconds of clock time before an update, a form load and the user's answer arrive.
    Platform::TimeInterval updateLatency = 0.4;
    Platform::TimeInterval formLoadLatency = 0.6;
    Platform::TimeInterval answerLatency = 3.0;
  };

  [[nodiscard]] static std::shared_ptr<SimulatedConsentPlatform> create(Options options);

  // The answer given on forms presented from now on.
  void setUserAnswer(const ConsentUserAnswer& answer);
  [[nodiscard]] ConsentUserAnswer userAnswer() const;

  // Used by the platform's forms: lets the user answer, then calls completion.
  void presentForm(const std::shared_ptr<Platform::ViewController>& viewController,
                   UMPConsentForm::PresentCompletion completion);

 protected:
  void handleUpdate(UpdateCompletion completion) override;
  void handleFormLoad(UMPConsentForm::LoadCompletion completion) override;

 private:
  using Answer = std::function<void(const std::shared_ptr<SimulatedConsentPlatform>& self)>;

  explicit SimulatedConsentPlatform(Options options) : options_(options) {}

  // Runs answer on the main queue once the option's latency has passed in clock time, unless the
  // platform is gone by then. Every answer the platform gives goes through here.
  void answerAfter(Platform::TimeInterval Options::*latency, Answer answer);

  void applyUpdate();
  void applyAnswer();

  mutable std::mutex optionsMutex_;
  Options options_;
};

}  // namespace QVRAdKit::Sandbox
