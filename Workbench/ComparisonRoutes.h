#pragma once
// ComparisonRoutes are the workbench API's comparisons of two configurations on the same seeds.
// A comparison is a run (SimulationRuns) whose sessions each play A and B; it shares the runs'
// progress, cancel, limit of runs under way and abandonment:
//   POST /api/comparisons                   {"a":TEXT,"b":TEXT,"sessions":N,"seed":"S","jobs":J,
//                                           "minutes":M} -> 202 {"id":..}; 422 with "side" and
//                                           the verdict when A or B has errors; 429 as a run
//   GET  /api/comparisons/ID                {"id","state","done","total","error"?,
//                                           "comparison":<ComparisonTables::json> or null,
//                                           "verdicts":[{"kind","row","measure","direction":
//                                           "higher|lower|none|unknown","text","a","b",
//                                           "difference","interval" (the numbers as the text
//                                           table writes them, or null),"noInterval" (why not,
//                                           or null),"sameAs" (the placement a network row
//                                           repeats, or null)}] or null,
//                                           "caution": ComparisonTables::fewSeedsCaution or null}
//   GET  /api/comparisons/ID/comparison.json  exactly what `qvr-sandbox --compare --json` prints
//   GET  /api/comparisons/ID/comparison.csv   ComparisonCsv
//   POST /api/comparisons/ID/cancel         stops it before its next seed
// An id that names a plain run, or none, is a 404; a comparison without its report yet a 409.
// The server's guards (Host, token, origin, body size) apply before these routes.
// Threading: the handlers run on the server's threads; SimulationRuns is safe from any.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

#include "Workbench/RouteMethods.h"
#include "Workbench/SimulationRuns.h"

namespace QVRAdKit::Workbench::ComparisonRoutes {

// What GET /api/comparisons/ID answers for the comparison's status.
[[nodiscard]] nlohmann::ordered_json statusJson(const std::string& id,
                                                const SimulationRuns::Status& status);

// runs outlives the server's handlers; maxActive is only told in the 429's message.
void install(RouteMethods& routes, SimulationRuns& runs, std::size_t maxActive);

}  // namespace QVRAdKit::Workbench::ComparisonRoutes
