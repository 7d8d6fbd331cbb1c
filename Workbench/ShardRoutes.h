#pragma once
// ShardRoutes open a sharded Monte Carlo run's results in the workbench: the shard files that
// `qvr-sandbox --seed-range A..B --shard-out F` wrote (on one machine or many) are merged as
// `qvr-sandbox merge` merges them (ShardMerge, same refusals and messages) and kept as an ended
// run, so the page shows them with the result views and downloads of a run made on the page:
//   POST /api/shards  {"shards":[{"name":"a.json","text":"<the file's text>"},...]} (ShardRequest)
//     -> 200 {"kind":"run"|"comparison","id":..,"opened":"4 shards, seeds 1 to 4000, merged",
//             "warnings":["<seeds a shard asked for but no shard played>",...],
//             "gaps":["seeds 101 to 200 are in no shard",...] (between the ranges the shards
//                     asked for: not counted in the status's total, which counts each seed some
//                     shard asked for once),
//             "configurations":{"a":"<fingerprint>","b":"<fingerprint>"|null,
//                               "opened":"<the opened configuration's fingerprint>"},
//             "status":<what GET /api/runs/ID, or /api/comparisons/ID for a comparison's
//                       shards, answers>}
//        then GET /api/runs/ID/report.json is `merge --json` of the shards, byte for byte, and
//        /api/comparisons/ID/comparison.json (and .csv) for a comparison's;
//     -> 422 {"error":"..","problems":["<one line as merge prints it>",...]} when the shards do
//        not merge or cannot be read; 400 naming the field of a malformed request.
// The merged result counts toward the runs kept, never toward those under way (SimulationRuns).
// The server's guards (Host, token, origin, body size) apply before this route; a body over the
// limit is refused with kTooLarge.
// Threading: the handler runs on the server's threads; SimulationRuns is safe from any.

#include <string>

#include "Workbench/RouteMethods.h"
#include "Workbench/SimulationRuns.h"

namespace QVRAdKit::Workbench::ShardRoutes {

inline constexpr const char* kPath = "/api/shards";
// The 413's message for this route: the shards of a run that large merge on the command line.
inline constexpr const char* kTooLarge =
    "the shards are larger than the 2 MiB a request may carry: merge them on the command line "
    "first (qvr-sandbox merge --shard-out merged.json SHARD...) and open the merged shard";

// The consent options the workbench plays under: the command line's defaults, which a shard's
// fingerprint covers too.
inline constexpr const char* kConsentRegion = "required";
inline constexpr const char* kConsentAnswer = "accept";

// The fingerprint a shard of this configuration, played under the command line's default consent
// options, carries: so the page can tell which side of opened shards is the opened configuration.
[[nodiscard]] std::string fingerprintOf(const std::string& configurationText);

// runs, toolVersion and openedFingerprint outlive the server's handlers; shards merge only when
// written by toolVersion; openedFingerprint is fingerprintOf the opened configuration.
void install(RouteMethods& routes, SimulationRuns& runs, const std::string& toolVersion,
             const std::string& openedFingerprint);

}  // namespace QVRAdKit::Workbench::ShardRoutes
