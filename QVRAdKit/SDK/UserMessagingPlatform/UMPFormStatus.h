#pragma once
// UMPFormStatus tells whether the consent platform has a consent form to load, with the raw values
// the platform publishes. Only `available` means a form can be loaded.

namespace QVRAdKit {

enum class UMPFormStatus : int {
  unknown = 0,
  available = 1,
  unavailable = 2,
};

}  // namespace QVRAdKit
