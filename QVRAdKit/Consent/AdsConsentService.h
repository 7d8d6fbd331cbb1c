#pragma once
// AdsConsentService is the consent service as the ads service holds it: the host-visible
// operations plus a stream of the loaded consent form.
// Threading: main queue; the stream emits on the thread that sets the form.

#include <memory>

#include "QVRAdKit/Consent/QVRAdsConsentService.h"
#include "QVRAdKit/Consent/QVRConsentForm.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class AdsConsentService : public QVRAdsConsentService {
 public:
  // The current form at once, then every form set (nullptr included); completes when the service
  // goes away and never keeps it alive.
  [[nodiscard]] virtual Rx::Observable<std::shared_ptr<QVRConsentForm>> gdprConsentFormStream() = 0;
};

}  // namespace QVRAdKit
