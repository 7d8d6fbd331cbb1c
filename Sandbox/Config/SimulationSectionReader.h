#pragma once
// SimulationSectionReader reads the "simulation" section of a sandbox configuration (how the
// simulated networks, the consent platform and the user behave) into the configuration, field by
// field over the simulators' defaults; an ad unit under adMob.adUnits starts from adMob.defaults.
// Every problem goes to the field reader's problems; a field with a problem keeps its default.
// Threading: pure function.

#include <nlohmann/json.hpp>
#include <string>

#include "Sandbox/Config/ConfigurationFieldReader.h"
#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {

class SimulationSectionReader {
 public:
  static void read(ConfigurationFieldReader& fields, const nlohmann::json& value,
                   const std::string& path, SandboxConfiguration& configuration);
};

}  // namespace QVRAdKit::Sandbox
