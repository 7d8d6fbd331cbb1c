#pragma once
// ComparisonRequest reads the body of a comparison request of the workbench API into Monte Carlo
// options with a candidate:
//   {"a":TEXT,"b":TEXT,"sessions":N,"seed":"S","jobs":J,"minutes":M}
// A is the configuration the report's tables are about, B the candidate; each seed plays both.
// The other fields are those of a run, with the same bounds and defaults (RunRequest); a run's
// configuration field, or any other, is refused. B plays with A's consent region and answer, as
// `qvr-sandbox --compare B.json` does, so a comparison replays
// `qvr-sandbox --config A.json --compare B.json --sessions N --seed S --json`.
// Threading: pure functions.

#include <nlohmann/json.hpp>
#include <string>
#include <variant>

#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Workbench/RunRequest.h"

namespace QVRAdKit::Workbench {

struct ComparisonRequest {
  // One of the two configurations has errors: which ("a" or "b"), and the checker's verdict.
  struct BadConfiguration {
    std::string side;
    std::string text;
    Sandbox::SandboxConfigurationCheck check;
  };
  using Result =
      std::variant<Sandbox::MonteCarloRunner::Options, RunRequest::BadField, BadConfiguration>;

  [[nodiscard]] static Result read(const nlohmann::json& body);
};

}  // namespace QVRAdKit::Workbench
