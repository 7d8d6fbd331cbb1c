#include "Sandbox/Consent/SimulatedConsentPlatform.h"

#include <atomic>
#include <memory>
#include <utility>

#include "Sandbox/Storage/SQLiteUserDefaults.h"

namespace QVRAdKit::Sandbox {

namespace {

constexpr const char* kPurposeConsentsKey = "IABTCF_PurposeConsents";
constexpr const char* kPurposeLegitimateInterestsKey = "IABTCF_PurposeLegitimateInterests";

// A loaded form of the simulated platform; it forwards its single presentation to the platform.
class SimulatedConsentForm final : public UMPConsentForm {
 public:
  explicit SimulatedConsentForm(std::weak_ptr<SimulatedConsentPlatform> platform)
      : platform_(std::move(platform)) {}

  void presentFromViewController(const std::shared_ptr<Platform::ViewController>& viewController,
                                 PresentCompletion completion) override {
    auto platform = platform_.lock();
    if (!platform) return;  // the platform (and its environment) is gone: nobody will answer
    if (used_.exchange(true)) {
      platform->post(0, [completion = std::move(completion)] {
        if (completion) {
          completion(ConsentPlatformCore::makeError(ConsentPlatformCore::kErrorFormAlreadyUsed,
                                                    "The consent form was already used"));
        }
      });
      return;
    }
    platform->presentForm(viewController, std::move(completion));
  }

 private:
  std::weak_ptr<SimulatedConsentPlatform> platform_;
  std::atomic<bool> used_{false};
};

}  // namespace

std::shared_ptr<SimulatedConsentPlatform> SimulatedConsentPlatform::create(Options options) {
  return std::shared_ptr<SimulatedConsentPlatform>(new SimulatedConsentPlatform(options));
}

void SimulatedConsentPlatform::setUserAnswer(const ConsentUserAnswer& answer) {
  std::lock_guard lock(optionsMutex_);
  options_.userAnswer = answer;
}

ConsentUserAnswer SimulatedConsentPlatform::userAnswer() const {
  std::lock_guard lock(optionsMutex_);
  return options_.userAnswer;
}

void SimulatedConsentPlatform::answerAfter(Platform::TimeInterval Options::*latency,
                                           Answer answer) {
  Platform::TimeInterval delay = 0;
  {
    std::lock_guard lock(optionsMutex_);
    delay = options_.*latency;
  }
  std::weak_ptr<SimulatedConsentPlatform> weak =
      std::static_pointer_cast<SimulatedConsentPlatform>(shared_from_this());
  post(delay, [weak = std::move(weak), answer = std::move(answer)] {
    if (auto self = weak.lock()) answer(self);
  });
}

void SimulatedConsentPlatform::handleUpdate(UpdateCompletion completion) {
  answerAfter(&Options::updateLatency, [completion = std::move(completion)](
                                           const std::shared_ptr<SimulatedConsentPlatform>& self) {
    self->applyUpdate();
    if (completion) completion(std::nullopt);
  });
}

void SimulatedConsentPlatform::applyUpdate() {
  ConsentRegion region;
  {
    std::lock_guard lock(optionsMutex_);
    region = options_.region;
  }
  if (region == ConsentRegion::consentNotRequired) {
    setConsentStatus(UMPConsentStatus::notRequired);
    setFormStatus(UMPFormStatus::unavailable);
    return;
  }
  if (consentStatus() != UMPConsentStatus::obtained) setConsentStatus(UMPConsentStatus::required);
  setFormStatus(UMPFormStatus::available);
}

void SimulatedConsentPlatform::handleFormLoad(UMPConsentForm::LoadCompletion completion) {
  answerAfter(
      &Options::formLoadLatency,
      [completion = std::move(completion)](const std::shared_ptr<SimulatedConsentPlatform>& self) {
        if (!completion) return;
        if (self->formStatus() != UMPFormStatus::available) {
          completion(nullptr, makeError(kErrorFormUnavailable, "No consent form is available"));
          return;
        }
        completion(std::make_shared<SimulatedConsentForm>(self), std::nullopt);
      });
}

void SimulatedConsentPlatform::presentForm(
    const std::shared_ptr<Platform::ViewController>& /*viewController*/,
    UMPConsentForm::PresentCompletion completion) {
  answerAfter(&Options::answerLatency, [completion = std::move(completion)](
                                           const std::shared_ptr<SimulatedConsentPlatform>& self) {
    self->applyAnswer();
    if (completion) completion(std::nullopt);
  });
}

void SimulatedConsentPlatform::applyAnswer() {
  const ConsentUserAnswer answer = userAnswer();
  Platform::UserDefaults& defaults = environment().userDefaults();
  // The two strings make one answer: a reader must never see one without the other, so a store
  // that can write them together does.
  if (auto* sqlite = dynamic_cast<SQLiteUserDefaults*>(&defaults)) {
    const SQLiteUserDefaults::Entry strings[] = {
        {kPurposeConsentsKey, answer.purposeConsents()},
        {kPurposeLegitimateInterestsKey, answer.purposeLegitimateInterests()}};
    sqlite->setObjects(strings);
  } else {
    defaults.setObject(answer.purposeConsents(), kPurposeConsentsKey);
    defaults.setObject(answer.purposeLegitimateInterests(), kPurposeLegitimateInterestsKey);
  }
  setConsentStatus(UMPConsentStatus::obtained);
}

}  // namespace QVRAdKit::Sandbox
