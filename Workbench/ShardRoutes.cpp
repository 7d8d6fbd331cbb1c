#include "Workbench/ShardRoutes.h"

#include <httplib.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Sandbox/MonteCarlo/ShardMerge.h"
#include "Sandbox/MonteCarlo/TrialShard.h"
#include "Sandbox/Text/TerminalText.h"
#include "Workbench/ComparisonRoutes.h"
#include "Workbench/HttpReplies.h"
#include "Workbench/ShardRequest.h"
#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::ShardRoutes {
namespace {

using Json = nlohmann::ordered_json;
using HttpReplies::send;
using Sandbox::ShardMerge;

// A message's lines, each shown as `qvr-sandbox merge` prints it on stderr (without the program's
// name): text from a shard or its name escaped, so every line stays one line.
std::vector<std::string> visibleLines(const std::vector<std::string>& messages) {
  std::vector<std::string> lines;
  for (const std::string& message : messages) {
    std::istringstream split(message);
    for (std::string line; std::getline(split, line);) {
      lines.push_back(Sandbox::TerminalText::visible(line));
    }
  }
  return lines;
}

void refuseShards(httplib::Response& response, const std::vector<std::string>& messages) {
  const auto problems = visibleLines(messages);
  Json answer = WorkbenchJson::error(problems.size() == 1
                                         ? "the shards cannot be merged: " + problems.front()
                                         : "the shards cannot be merged (" +
                                               std::to_string(problems.size()) + " problems)");
  answer["problems"] = problems;
  send(response, 422, answer);
}

// "4 shards, seeds 1 to 4000, merged".
std::string opened(std::size_t count, const Sandbox::MonteCarloReport& report) {
  std::string text = std::to_string(count) + (count == 1 ? " shard, " : " shards, ");
  if (report.sessions == 0) return text + "no seed played, merged";
  const std::uint64_t last = report.firstSeed + (report.sessions - 1);
  if (report.sessions == 1) return text + "seed " + std::to_string(last) + ", merged";
  return text + "seeds " + std::to_string(report.firstSeed) + " to " + std::to_string(last) +
         ", merged";
}

void openShards(const httplib::Request& request, httplib::Response& response, SimulationRuns& runs,
                const std::string& toolVersion, const std::string& openedFingerprint) {
  const auto body = HttpReplies::jsonBody(request, response);
  if (!body) return;
  auto read = ShardRequest::read(*body);
  if (const auto* bad = std::get_if<RunRequest::BadField>(&read)) {
    return HttpReplies::refuse(response, 400, bad->message);
  }
  if (const auto* unreadable = std::get_if<ShardRequest::Unreadable>(&read)) {
    return refuseShards(response, unreadable->problems);
  }
  auto shards = std::get<std::vector<ShardMerge::Named>>(std::move(read));
  const std::size_t count = shards.size();
  const auto unplayed = ShardMerge::unplayed(shards);
  const ShardMerge::Asked asked = ShardMerge::asked(shards);
  // Shards that merge share both fingerprints; the first shard's are every shard's.
  Json configurations = {
      {"a", shards.front().shard.configuration},
      {"b", shards.front().shard.candidate ? Json(*shards.front().shard.candidate) : Json(nullptr)},
      {"opened", openedFingerprint}};
  auto merged = ShardMerge::merge(std::move(shards), toolVersion);
  if (!merged) return refuseShards(response, {merged.error().localizedDescription});

  SimulationRuns::Status status;
  status.state = SimulationRuns::State::done;
  status.done = merged->sessions;
  status.total = std::max(asked.count, merged->sessions);
  status.comparison = merged->comparison.has_value();
  status.report = std::move(merged).value();
  const std::string id = runs.add(*status.report, status.total);
  Json answer = {{"kind", status.comparison ? "comparison" : "run"},
                 {"id", id},
                 {"opened", opened(count, *status.report)},
                 {"warnings", visibleLines(unplayed)},
                 {"gaps", asked.gaps},
                 {"configurations", std::move(configurations)}};
  answer["status"] = status.comparison ? ComparisonRoutes::statusJson(id, status)
                                       : WorkbenchJson::status(id, status);
  send(response, 200, answer);
}

}  // namespace

std::string fingerprintOf(const std::string& configurationText) {
  return Sandbox::TrialShard::configurationFingerprint(configurationText, kConsentRegion,
                                                       kConsentAnswer);
}

void install(RouteMethods& routes, SimulationRuns& runs, const std::string& toolVersion,
             const std::string& openedFingerprint) {
  routes.post(kPath, [&runs, &toolVersion, &openedFingerprint](const httplib::Request& request,
                                                               httplib::Response& response) {
    openShards(request, response, runs, toolVersion, openedFingerprint);
  });
}

}  // namespace QVRAdKit::Workbench::ShardRoutes
