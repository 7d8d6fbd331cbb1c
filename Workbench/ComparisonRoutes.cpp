#include "Workbench/ComparisonRoutes.h"

#include <httplib.h>

#include <string>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Workbench/ComparisonCsv.h"
#include "Workbench/ComparisonRequest.h"
#include "Workbench/ComparisonVerdicts.h"
#include "Workbench/HttpReplies.h"
#include "Workbench/WorkbenchJson.h"

namespace QVRAdKit::Workbench::ComparisonRoutes {
namespace {

using Json = nlohmann::ordered_json;
using HttpReplies::refuse;
using HttpReplies::send;

constexpr const char* kId = R"(/api/comparisons/([0-9]{1,19}))";

// The comparison's status, or none with a 404 sent: an unknown id, or a run that compares nothing.
std::optional<SimulationRuns::Status> comparisonStatus(SimulationRuns& runs, const std::string& id,
                                                       httplib::Response& response) {
  auto status = runs.status(id);
  if (!status || !status->comparison) {
    refuse(response, 404, "no comparison " + id);
    return std::nullopt;
  }
  return status;
}

// The ended comparison's report, or none with a 404 or 409 sent.
std::optional<Sandbox::MonteCarloReport> endedReport(SimulationRuns& runs, const std::string& id,
                                                     httplib::Response& response) {
  auto status = comparisonStatus(runs, id, response);
  if (!status) return std::nullopt;
  if (!status->report || !status->report->comparison) {
    refuse(response, 409, "comparison " + id + " has no report yet");
    return std::nullopt;
  }
  return std::move(status->report);
}

// A text, or null for none.
Json orNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

void attachment(httplib::Response& response, const std::string& name) {
  response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
}

}  // namespace

Json statusJson(const std::string& id, const SimulationRuns::Status& status) {
  Json object = {{"id", id},
                 {"state", SimulationRuns::name(status.state)},
                 {"done", status.done},
                 {"total", status.total}};
  if (status.state == SimulationRuns::State::failed) object["error"] = status.error;
  object["comparison"] = nullptr;
  object["verdicts"] = nullptr;
  object["caution"] = nullptr;
  if (status.report && status.report->comparison) {
    if (const char* caution = Sandbox::ComparisonTables::fewSeedsCaution(status.report->sessions)) {
      object["caution"] = caution;
    }
    object["comparison"] = Json::parse(Sandbox::ComparisonTables::json(*status.report));
    Json verdicts = Json::array();
    for (const auto& verdict : ComparisonVerdicts::of(*status.report->comparison)) {
      verdicts.push_back({{"kind", verdict.kind},
                          {"row", verdict.row},
                          {"measure", verdict.measure},
                          {"direction", ComparisonVerdicts::name(verdict.direction)},
                          {"text", verdict.text},
                          {"a", orNull(verdict.texts.a)},
                          {"b", orNull(verdict.texts.b)},
                          {"difference", orNull(verdict.texts.difference)},
                          {"interval", orNull(verdict.texts.interval)},
                          {"noInterval", orNull(verdict.noInterval)},
                          {"sameAs", orNull(verdict.sameAs)}});
    }
    object["verdicts"] = std::move(verdicts);
  }
  return object;
}

void install(RouteMethods& routes, SimulationRuns& runs, std::size_t maxActive) {
  routes.post("/api/comparisons", [&runs, maxActive](const httplib::Request& request,
                                                     httplib::Response& response) {
    const auto body = HttpReplies::jsonBody(request, response);
    if (!body) return;
    auto read = ComparisonRequest::read(*body);
    if (const auto* bad = std::get_if<RunRequest::BadField>(&read)) {
      return refuse(response, 400, bad->message);
    }
    if (const auto* bad = std::get_if<ComparisonRequest::BadConfiguration>(&read)) {
      Json answer =
          WorkbenchJson::error("configuration " + bad->side + " has errors: it cannot run");
      answer["side"] = bad->side;
      answer["check"] = WorkbenchJson::check(bad->text, bad->check);
      return send(response, 422, answer);
    }
    const auto id = runs.start(std::get<Sandbox::MonteCarloRunner::Options>(std::move(read)));
    if (!id) {
      return refuse(response, 429,
                    "already " + std::to_string(maxActive) +
                        " runs under way: wait for one to end or cancel one");
    }
    send(response, 202, {{"id", *id}});
  });
  routes.get(kId, [&runs](const httplib::Request& request, httplib::Response& response) {
    const std::string id = request.matches[1].str();
    if (const auto status = comparisonStatus(runs, id, response)) {
      send(response, 200, statusJson(id, *status));
    }
  });
  routes.get(std::string(kId) + R"(/comparison\.json)", [&runs](const httplib::Request& request,
                                                                httplib::Response& response) {
    const std::string id = request.matches[1].str();
    const auto report = endedReport(runs, id, response);
    if (!report) return;
    response.set_content(Sandbox::ComparisonTables::json(*report) + "\n", "application/json");
    attachment(response, "workbench-comparison-" + id + ".json");
  });
  routes.get(std::string(kId) + R"(/comparison\.csv)", [&runs](const httplib::Request& request,
                                                               httplib::Response& response) {
    const std::string id = request.matches[1].str();
    const auto report = endedReport(runs, id, response);
    if (!report) return;
    response.set_content(ComparisonCsv::of(*report->comparison), "text/csv; charset=utf-8");
    attachment(response, "workbench-comparison-" + id + ".csv");
  });
  routes.post(std::string(kId) + "/cancel",
              [&runs](const httplib::Request& request, httplib::Response& response) {
                if (!HttpReplies::noFields(request, response)) return;
                const std::string id = request.matches[1].str();
                if (!comparisonStatus(runs, id, response)) return;
                runs.cancel(id);
                send(response, 200, statusJson(id, *runs.status(id)));
              });
}

}  // namespace QVRAdKit::Workbench::ComparisonRoutes
