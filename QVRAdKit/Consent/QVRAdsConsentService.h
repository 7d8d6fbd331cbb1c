#pragma once
// QVRAdsConsentService is the consent service as the host and the ads service see it: it refreshes
// the user's GDPR consent with the consent platform, keeps the loaded consent form for the host to
// present, and passes the personalised-ads answer to the mediation networks.
// Threading: main queue; completions run on the thread on which the consent platform calls back
// (the main queue).

#include <functional>
#include <memory>
#include <optional>

#include "QVRAdKit/Consent/QVRConsentForm.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class QVRAdsConsentService {
 public:
  // (a form was loaded that the user must see, the error of a failed update).
  using ConsentCompletion = std::function<void(bool, std::optional<Platform::Error>)>;
  // (the loaded form or nullptr, the error of a failed update or load).
  using FormCompletion =
      std::function<void(std::shared_ptr<QVRConsentForm>, std::optional<Platform::Error>)>;

  virtual ~QVRAdsConsentService() = default;

  // The last loaded consent form, or nullptr.
  [[nodiscard]] virtual std::shared_ptr<QVRConsentForm> gdprConsentForm() const = 0;
  // Refreshes the consent information and calls completion exactly once: true when consent is
  // still needed and a form is now loaded for the user to see.
  virtual void loadGDPRConsent(ConsentCompletion completion) = 0;
  // Makes sure a form is loaded, refreshing the consent information first when the platform has
  // no form available.
  virtual void reloadGDPRConsentForm(FormCompletion completion) = 0;
  // Tells the mediation networks whether personalised ads are allowed (only once consent was
  // obtained).
  virtual void notifyMediators() = 0;
  // Consent is required or obtained.
  [[nodiscard]] virtual bool gdprApplies() const = 0;
  // Nothing more must be asked of the user: consent is not required or obtained.
  [[nodiscard]] virtual bool gdprConsentResolved() const = 0;
  // Personalised ads are allowed.
  [[nodiscard]] virtual bool gdprConsentAccepted() const = 0;
};

}  // namespace QVRAdKit
