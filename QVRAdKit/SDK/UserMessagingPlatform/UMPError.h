#pragma once
// UMPError makes the errors that the consent platform ports report themselves, when no platform
// implementation is registered in the environment.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <string>

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

struct UMPError {
  static constexpr const char* kDomain = "QVRAdKit.UserMessagingPlatform";
  // The code used when no consent platform is registered.
  static constexpr int kNotInstalled = 1;

  [[nodiscard]] static Platform::Error notInstalled(const std::string& what) {
    return Platform::Error{kDomain, kNotInstalled, what + ": no consent platform is installed"};
  }
};

}  // namespace QVRAdKit
