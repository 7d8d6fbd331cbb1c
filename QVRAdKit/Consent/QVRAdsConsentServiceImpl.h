#pragma once
// QVRAdsConsentServiceImpl is the consent service over the consent platform ports: it refreshes
// the consent information, loads the consent form when the platform has one, keeps that form
// (published on gdprConsentFormStream()) for the host to present, reads the TCF strings the
// platform writes to the user defaults to decide whether personalised ads are allowed, and passes
// that answer to Unity Ads and IronSource.
// Every query asks the platform afresh; only the loaded form is kept.
// Lifetime: a consent-information update holds the service until its handler has run; a form load
// holds it weakly and leaves no trace once the service is gone. Only the platform's first answer
// to each update or form load counts: a repeated one is named in the log and ignored, so every
// completion the service is given runs at most once.
// Threading: main queue; every public operation checks it. Completions run on the thread on which
// the platform calls back, and what the service does there (keep a form, load the next one) goes
// through private paths that do not check.

#include <atomic>
#include <memory>
#include <string_view>

#include "QVRAdKit/Consent/AdsConsentService.h"
#include "QVRAdKit/Consent/QVRConsentForm.h"
#include "QVRAdKit/Rx/ObservedValue.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentStatus.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class QVRAdsConsentServiceImpl final
    : public AdsConsentService,
      public std::enable_shared_from_this<QVRAdsConsentServiceImpl> {
 public:
  // The user-defaults keys under which the consent platform writes the TCF purpose strings.
  static constexpr const char* kPurposeConsentsKey = "IABTCF_PurposeConsents";
  static constexpr const char* kPurposeLegitimateInterestsKey = "IABTCF_PurposeLegitimateInterests";
  // The Unity Ads metadata key of the personalised-ads answer.
  static constexpr const char* kUnityConsentKey = "gdpr.consent";

  // A service over the consent platform, user defaults and mediation SDKs of environment, which
  // outlives it.
  [[nodiscard]] static std::shared_ptr<QVRAdsConsentServiceImpl> create(
      Platform::Environment& environment);

  QVRAdsConsentServiceImpl(const QVRAdsConsentServiceImpl&) = delete;
  QVRAdsConsentServiceImpl& operator=(const QVRAdsConsentServiceImpl&) = delete;

  // QVRAdsConsentService.
  [[nodiscard]] std::shared_ptr<QVRConsentForm> gdprConsentForm() const override;
  void loadGDPRConsent(ConsentCompletion completion) override;
  void reloadGDPRConsentForm(FormCompletion completion) override;
  void notifyMediators() override;
  [[nodiscard]] bool gdprApplies() const override;
  [[nodiscard]] bool gdprConsentResolved() const override;
  [[nodiscard]] bool gdprConsentAccepted() const override;

  // AdsConsentService.
  [[nodiscard]] Rx::Observable<std::shared_ptr<QVRConsentForm>> gdprConsentFormStream() override;

  // Loads a form and keeps it (nullptr on an error or when no form came back), then calls
  // completion, if given, with the kept form and the error. If the service is gone by the time the
  // platform answers, nothing is kept and completion receives nullptr.
  void loadGDPRConsentForm(FormCompletion completion);
  // As loadGDPRConsentForm() when the platform has a form available; otherwise clears the kept
  // form and calls completion, if given, with (nullptr, none) at once.
  void loadGDPRConsentFormIfAvailable(FormCompletion completion);
  // Whether the TCF strings grant consent for purposes 1, 3 and 4 and legitimate interest for
  // purposes 2, 7, 9 and 10; false when either string is missing.
  [[nodiscard]] bool personalizedAdsAreAllowed() const;
  void setGdprConsentForm(std::shared_ptr<QVRConsentForm> form);

 private:
  explicit QVRAdsConsentServiceImpl(Platform::Environment& environment)
      : environment_(environment) {}

  // The unchecked bodies of the public operations of the same names, for the platform's callbacks.
  void loadForm(FormCompletion completion);
  void loadFormIfAvailable(FormCompletion completion);
  [[nodiscard]] bool personalizedAdsAllowed() const;
  [[nodiscard]] UMPConsentStatus currentConsentStatus() const;
  [[nodiscard]] bool consentResolved() const;

  // Logs, once per service, that the purpose key holds a value that is not text (read as missing).
  void reportPurposesNotText(std::string_view key) const;

  Platform::Environment& environment_;
  Rx::ObservedValue<std::shared_ptr<QVRConsentForm>> gdprConsentForm_;
  mutable std::atomic<bool> reportedPurposesNotText_{false};
};

}  // namespace QVRAdKit
