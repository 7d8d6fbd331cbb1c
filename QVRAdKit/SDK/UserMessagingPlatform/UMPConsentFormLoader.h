#pragma once
// UMPConsentFormLoader is what UMPConsentForm::loadWithCompletionHandler() forwards to: the part of
// a consent platform implementation that loads forms. Registered in the environment under this
// type, usually by the same object that implements UMPConsentInformation.
// Threading: called on the main queue; completions arrive on the main queue.

#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentForm.h"

namespace QVRAdKit {

class UMPConsentFormLoader {
 public:
  virtual ~UMPConsentFormLoader() = default;
  // Loads a form, then calls completion exactly once (or never, if the platform never answers).
  virtual void loadForm(UMPConsentForm::LoadCompletion completion) = 0;
};

}  // namespace QVRAdKit
