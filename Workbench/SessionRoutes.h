#pragma once
// SessionRoutes are the workbench API's pictures of one session (SessionTrace):
//   POST /api/sessions           {"configuration":TEXT,"seed":"S","minutes":M}
//                                -> 200 the session's picture (SessionJson::picture)
//   POST /api/sessions/snapshot  {"configuration":TEXT,"seed":"S","minutes":M,"at":SECONDS}
//                                -> 200 the inspector's snapshot then (SessionJson::snapshot)
// Bad fields (SessionRequest) are a 400 naming the field; a configuration with errors a 422 with
// the checker's verdict. A session plays in a few milliseconds, so both answer at once, on the
// server's thread. The server's guards (Host, token, origin, body size) apply before these.
// Threading: the handlers run on the server's threads and share nothing.

#include "Workbench/RouteMethods.h"

namespace QVRAdKit::Workbench::SessionRoutes {

void install(RouteMethods& routes);

}  // namespace QVRAdKit::Workbench::SessionRoutes
