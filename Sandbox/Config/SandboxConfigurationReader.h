#pragma once
// SandboxConfigurationReader turns a parsed JSON document into a SandboxConfiguration, checking
// every field on the way and going on past a bad one, so that all the problems of a document are
// reported together, each with its place: wrong types, unknown fields, networks and placements,
// out-of-range numbers (negative durations, probabilities outside [0, 1], integers beyond their
// field's type, a reward amount too small or too large to represent), a key listed twice in one
// placement, lists beyond ConfigurationFieldReader::kMaxListLength. A field with a problem keeps
// its default. The rules across fields, and the warnings, are SandboxConfigurationRules'.
// Threading: pure function.

#include <nlohmann/json.hpp>

#include "Sandbox/Config/ConfigurationProblems.h"
#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {

class SandboxConfigurationReader {
 public:
  [[nodiscard]] static SandboxConfiguration read(const nlohmann::json& root,
                                                 ConfigurationProblems& problems);
};

}  // namespace QVRAdKit::Sandbox
