#pragma once
// SessionJson writes one session's picture and snapshots for the workbench page:
//   picture:  {"seed":"7","duration":1800,
//              "moments":[{"at":12.5,"clock":"00:00:12","kind":"connect","text":"..."}],
//              "spans":[{"lane":"vpn","from":14.5,"to":300,"label":"connected"}],
//              "loads":[{"lane":"admob · c1","network":"admob","key":"c1" or null,
//                        "action":"connect","uuid":"..","requestedAt":3,"endedAt":4.2 or null,
//                        "outcome":"filled|failed|unanswered","errorCode":0}],
//              "lanes":["admob · c1",...],   the load lanes in the order of their first request
//              "counts":{"requests":R,"filled":F,"failed":X,"unanswered":U,"shows":S}}
//   snapshot: {"at":600,"clock":"00:10:00","run":"run ended, configured","consent":"...",
//              "pause":"none","paused":false,
//              "placements":[{"placement":"interstitial connect","builder":"adMob, running",
//                             "lastGrant":"00:09:12 (48s ago)" or null,
//                             "keys":[{"key":"c1","state":"loaded" or null,"age":"12s since
//                                      request" or null,"uuid":".." or null}]}],
//              "lines":[the inspector's narration lines]}
// The seed is a string: a page's numbers lose digits beyond 2^53.
// Threading: pure functions.

#include <nlohmann/json.hpp>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "Workbench/SessionTrace.h"

namespace QVRAdKit::Workbench::SessionJson {

[[nodiscard]] nlohmann::ordered_json picture(const SessionTrace::Picture& picture);
[[nodiscard]] nlohmann::ordered_json snapshot(Platform::TimeInterval at,
                                              const AdsServiceSnapshot& snapshot);

}  // namespace QVRAdKit::Workbench::SessionJson
