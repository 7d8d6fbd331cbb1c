#pragma once
// WorkbenchJson writes the workbench API's answers:
//   check:  {"runnable":bool,"errors":[problem...],"warnings":[problem...]}, each problem
//           {"text":"<the line the command line prints>","place":"interstitial.connect.timeout",
//            "range":{"start":{"line":L,"column":C},"end":{...}} or null}
//   status: {"id":"3","state":"running|done|cancelled|abandoned|failed","done":D,"total":T,
//            "error":"..." (failed only),"report":<MonteCarloTables::json> or null,
//            "latencyCdf":{"placements":{"<name>":[p1..p100 ms]},"networks":{...}} or null}
//   error:  {"error":"<one line>"} and, for a configuration that cannot run, "check":<check>.
// Threading: pure functions.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Workbench/SimulationRuns.h"

namespace QVRAdKit::Workbench::WorkbenchJson {

[[nodiscard]] nlohmann::ordered_json check(std::string_view document,
                                           const Sandbox::SandboxConfigurationCheck& check);
[[nodiscard]] nlohmann::ordered_json status(const std::string& id,
                                            const SimulationRuns::Status& status);
[[nodiscard]] nlohmann::ordered_json error(const std::string& message);

}  // namespace QVRAdKit::Workbench::WorkbenchJson
