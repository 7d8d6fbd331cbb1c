#pragma once
// SessionRequest reads the body of a request for one session's timeline or snapshot:
//   {"configuration":TEXT,"seed":"S","minutes":M}             the timeline
//   {"configuration":TEXT,"seed":"S","minutes":M,"at":SECONDS} the snapshot at that moment
// seed and minutes as for a run (RunRequest: a whole number from 0 to 2^64-1, as a string or a
// number; minutes more than 0, at most a week; defaults 1 and 120). at, when asked for: a number
// of seconds from 0 to the session's end. A field not listed here is refused.
// Threading: pure functions.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <variant>

#include "QVRAdKit/Platform/Date.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Workbench/RunRequest.h"

namespace QVRAdKit::Workbench {

struct SessionRequest {
  Sandbox::SandboxConfiguration configuration;
  std::uint64_t seed = 1;
  Platform::TimeInterval duration = 7200;
  // Set when the request asked for a moment.
  std::optional<Platform::TimeInterval> at;

  using Result = std::variant<SessionRequest, RunRequest::BadField, RunRequest::BadConfiguration>;
  [[nodiscard]] static Result read(const nlohmann::json& body, bool needsMoment);
};

}  // namespace QVRAdKit::Workbench
