#pragma once
// RewardedAdError is what a rewarded ad reports when asked to present without a loaded ad.
// As an Error value it takes the defaults of an enumeration error: domain
// "QVRAdKit.RewardedAdError", code = the case's position.

#include <cstdint>
#include <optional>
#include <string>

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

enum class RewardedAdError { none, isNotReady };

[[nodiscard]] inline std::int64_t code(RewardedAdError error) {
  return static_cast<std::int64_t>(error);
}

[[nodiscard]] inline std::optional<std::string> errorDescription(RewardedAdError error) {
  if (error == RewardedAdError::isNotReady) return "Rewarded video is not ready or failed to load";
  return std::nullopt;
}

[[nodiscard]] inline Platform::Error toError(RewardedAdError error) {
  std::string domain = "QVRAdKit.RewardedAdError";
  auto description =
      errorDescription(error).value_or("The operation couldn\u2019t be completed. (" + domain +
                                       " error " + std::to_string(code(error)) + ".)");
  return Platform::Error{std::move(domain), code(error), std::move(description)};
}

}  // namespace QVRAdKit
