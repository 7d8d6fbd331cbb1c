#pragma once
// GADError names the error domain and codes of Google Mobile Ads load and presentation failures,
// and makes the error the ports report themselves when no implementation is registered in the
// environment. Implementations (the sandbox, a bridge to the real SDK) use the same domain.
// Threading: a value; any thread. The module makes and reads it on the main queue.

#include <cstdint>
#include <string>

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

struct GADError {
  static constexpr const char* kDomain = "com.google.admob";

  // The codes the SDK documents for its errors (a subset).
  static constexpr std::int64_t kInvalidRequest = 0;
  static constexpr std::int64_t kNoFill = 1;
  static constexpr std::int64_t kNetworkError = 2;
  static constexpr std::int64_t kServerError = 3;
  static constexpr std::int64_t kTimeout = 5;
  static constexpr std::int64_t kInternalError = 11;
  static constexpr std::int64_t kAdAlreadyUsed = 19;

  [[nodiscard]] static Platform::Error make(std::int64_t code, std::string description) {
    return Platform::Error{kDomain, code, std::move(description)};
  }

  // A load asked for while no Google Mobile Ads implementation is registered.
  [[nodiscard]] static Platform::Error notInstalled(const std::string& what) {
    return make(kInternalError, what + ": no Google Mobile Ads implementation is installed");
  }
};

}  // namespace QVRAdKit
