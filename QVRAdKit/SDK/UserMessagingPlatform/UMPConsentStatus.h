#pragma once
// UMPConsentStatus is the consent platform's answer to "must the user be asked?", with the raw
// values the platform publishes.
// Threading: a value; any thread. The module makes and reads it on the main queue.

namespace QVRAdKit {

enum class UMPConsentStatus : int {
  unknown = 0,
  required = 1,
  notRequired = 2,
  obtained = 3,
};

}  // namespace QVRAdKit
