#pragma once
// SandboxConfigurationRules checks what no single field shows: that every placement's network is
// configured under "sources", that IronSource has an application key, that app-open placements
// use a network that serves app-open ads; and warns of what is legal but almost surely a mistake:
// a placement without keys (it never shows an ad), a timeout or extra rewarded keys the ads
// service never reads, a network no placement uses, simulation entries for keys or placements no
// placement uses.
// Threading: pure function.

#include <nlohmann/json.hpp>

#include "Sandbox/Config/ConfigurationProblems.h"
#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {

class SandboxConfigurationRules {
 public:
  // root is the document configuration was read from (for where each value was written).
  static void check(const nlohmann::json& root, const SandboxConfiguration& configuration,
                    ConfigurationProblems& problems);
};

}  // namespace QVRAdKit::Sandbox
