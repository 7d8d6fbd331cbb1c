#pragma once
// UMPFormStatus tells whether the consent platform has a consent form to load, with the raw values
// the platform publishes. Only `available` means a form can be loaded.
// Threading: a value; any thread. The module makes and reads it on the main queue.

namespace QVRAdKit {

enum class UMPFormStatus : int {
  unknown = 0,
  available = 1,
  unavailable = 2,
};

}  // namespace QVRAdKit
