#include "Workbench/WorkbenchJson.h"

#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Workbench/ProblemLocator.h"

namespace QVRAdKit::Workbench::WorkbenchJson {
namespace {

using Json = nlohmann::ordered_json;

Json position(const TextPosition& at) {
  return {{"line", at.line}, {"column", at.column}};
}

Json problems(std::string_view document, const std::vector<std::string>& lines) {
  Json list = Json::array();
  if (lines.empty()) return list;
  const ProblemLocator locator(document);
  for (const auto& line : lines) {
    const LocatedProblem located = locator.locate(line);
    Json problem = {{"text", located.text}, {"place", located.place}, {"range", nullptr}};
    if (located.range) {
      problem["range"] = {{"start", position(located.range->start)},
                          {"end", position(located.range->end)}};
    }
    list.push_back(std::move(problem));
  }
  return list;
}

// Every whole percentile of each row's pooled load durations: a CDF a chart draws as is.
Json latencyCdf(const std::map<std::string, Sandbox::SessionStatistics::Row>& rows) {
  Json byName = Json::object();
  for (const auto& [name, row] : rows) {
    if (row.loadLatency.sampleCount() == 0) continue;
    Json percentiles = Json::array();
    for (int percent = 1; percent <= 100; ++percent) {
      percentiles.push_back(*row.loadLatency.percentile(percent));
    }
    byName[name] = std::move(percentiles);
  }
  return byName;
}

}  // namespace

Json check(std::string_view document, const Sandbox::SandboxConfigurationCheck& check) {
  return {{"runnable", check.errors.empty()},
          {"errors", problems(document, check.errors)},
          {"warnings", problems(document, check.warnings)}};
}

Json status(const std::string& id, const SimulationRuns::Status& status) {
  Json object = {{"id", id},
                 {"state", SimulationRuns::name(status.state)},
                 {"done", status.done},
                 {"total", status.total}};
  if (status.state == SimulationRuns::State::failed) object["error"] = status.error;
  object["report"] = nullptr;
  object["latencyCdf"] = nullptr;
  if (status.report) {
    object["report"] = Json::parse(Sandbox::MonteCarloTables::json(*status.report));
    object["latencyCdf"] = {{"placements", latencyCdf(status.report->totals.placements)},
                            {"networks", latencyCdf(status.report->totals.networks)}};
  }
  return object;
}

Json error(const std::string& message) {
  return {{"error", message}};
}

}  // namespace QVRAdKit::Workbench::WorkbenchJson
