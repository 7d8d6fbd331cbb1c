#pragma once
// UMPRequestParameters are the parameters of one consent-information update.
// Threading: a value; any thread. The module makes and reads it on the main queue.

namespace QVRAdKit {

struct UMPRequestParameters {
  // Whether the user is to be treated as under the age of consent.
  bool tagForUnderAgeOfConsent = false;
};

}  // namespace QVRAdKit
