#include "QVRAdKit/Services/AdsService/StartUpRunState.h"

namespace QVRAdKit {

std::string_view caseName(StartUpStep step) {
  switch (step) {
    case StartUpStep::consentUpdate:
      return "consentUpdate";
    case StartUpStep::configuration:
      return "configuration";
    case StartUpStep::networkStart:
      return "networkStart";
  }
  return "unknown";
}

std::string_view caseName(StartUpOutcome outcome) {
  switch (outcome) {
    case StartUpOutcome::loaded:
      return "loaded";
    case StartUpOutcome::consentFormToShow:
      return "consentFormToShow";
    case StartUpOutcome::consentNotResolved:
      return "consentNotResolved";
    case StartUpOutcome::consentError:
      return "consentError";
    case StartUpOutcome::noConfiguration:
      return "noConfiguration";
    case StartUpOutcome::noConsentService:
      return "noConsentService";
  }
  return "unknown";
}

}  // namespace QVRAdKit
