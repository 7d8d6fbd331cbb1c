#pragma once
// ConsentPlatformCore is the sandbox's consent platform, shared by its scripted (tests) and
// simulated (sandbox host) flavours: it holds the consent and form statuses, counts the requests
// it receives, registers itself as the environment's UMPConsentInformation and
// UMPConsentFormLoader, and delivers every answer on that environment's main queue. What happens
// to an update or a form load is the flavour's business.
// Example:
//   auto platform = ScriptedConsentPlatform::create();
//   platform->install(*environment);
// Threading: statuses and counters from any thread; answers are delivered on the main queue.

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"

namespace QVRAdKit::Sandbox {

class ConsentPlatformCore : public UMPConsentInformation,
                            public UMPConsentFormLoader,
                            public std::enable_shared_from_this<ConsentPlatformCore> {
 public:
  // The domain and codes of the errors the sandbox platform reports, after the real library's.
  static constexpr const char* kErrorDomain = "QVRAdKit.Sandbox.ConsentPlatform";
  static constexpr int kErrorInternal = 1;
  static constexpr int kErrorNetwork = 3;
  static constexpr int kErrorFormAlreadyUsed = 6;
  static constexpr int kErrorFormUnavailable = 7;
  [[nodiscard]] static Platform::Error makeError(int code, std::string description);

  ConsentPlatformCore(const ConsentPlatformCore&) = delete;
  ConsentPlatformCore& operator=(const ConsentPlatformCore&) = delete;

  // Registers this platform in environment (replacing any other) and answers on its main queue.
  void install(Platform::Environment& environment);

  [[nodiscard]] UMPConsentStatus consentStatus() const override;
  [[nodiscard]] UMPFormStatus formStatus() const override;
  void setConsentStatus(UMPConsentStatus status);
  void setFormStatus(UMPFormStatus status);

  void requestConsentInfoUpdateWithParameters(const UMPRequestParameters& parameters,
                                              UpdateCompletion completion) final;
  void loadForm(UMPConsentForm::LoadCompletion completion) final;

  [[nodiscard]] std::size_t updateRequestCount() const;
  [[nodiscard]] std::optional<UMPRequestParameters> lastUpdateParameters() const;
  [[nodiscard]] std::size_t formLoadRequestCount() const;

  // The installed environment, or the current one before install().
  [[nodiscard]] Platform::Environment& environment() const;
  // Runs task on the main queue after delay seconds of clock time (0: as soon as it is drained).
  void post(Platform::TimeInterval delay, std::function<void()> task) const;

 protected:
  ConsentPlatformCore() = default;

  virtual void handleUpdate(UpdateCompletion completion) = 0;
  virtual void handleFormLoad(UMPConsentForm::LoadCompletion completion) = 0;

 private:
  mutable std::mutex mutex_;
  UMPConsentStatus consentStatus_ = UMPConsentStatus::unknown;
  UMPFormStatus formStatus_ = UMPFormStatus::unknown;
  std::size_t updateRequestCount_ = 0;
  std::optional<UMPRequestParameters> lastUpdateParameters_;
  std::size_t formLoadRequestCount_ = 0;
  Platform::Environment* environment_ = nullptr;
};

}  // namespace QVRAdKit::Sandbox
