#include "Workbench/ComparisonRequest.h"

#include <utility>

namespace QVRAdKit::Workbench {

ComparisonRequest::Result ComparisonRequest::read(const nlohmann::json& body) {
  if (!body.is_object()) return RunRequest::BadField{"the request must be a JSON object"};
  if (auto unknown =
          RunRequest::unknownField(body, {"a", "b", "sessions", "seed", "jobs", "minutes"})) {
    return std::move(*unknown);
  }
  for (const char* side : {"a", "b"}) {
    const auto text = body.find(side);
    if (text == body.end() || !text->is_string()) {
      return RunRequest::BadField{std::string(side) +
                                  ": must be a configuration's JSON text, as a string"};
    }
  }
  // The run's own fields are read as a run reads them, with A as its configuration.
  nlohmann::json run = body;
  run.erase("b");
  run["configuration"] = run["a"];
  run.erase("a");
  auto read = RunRequest::read(run);
  if (auto* bad = std::get_if<RunRequest::BadField>(&read)) return std::move(*bad);
  if (auto* bad = std::get_if<RunRequest::BadConfiguration>(&read)) {
    return BadConfiguration{"a", std::move(bad->text), std::move(bad->check)};
  }
  auto options = std::get<Sandbox::MonteCarloRunner::Options>(std::move(read));
  const auto& candidateText = body["b"].get_ref<const std::string&>();
  auto candidate = Sandbox::SandboxConfigurationCheck::ofText(candidateText);
  if (!candidate.configuration) {
    return BadConfiguration{"b", candidateText, std::move(candidate)};
  }
  options.candidate = std::move(*candidate.configuration);
  options.candidate->consent = options.configuration.consent;
  return options;
}

}  // namespace QVRAdKit::Workbench
