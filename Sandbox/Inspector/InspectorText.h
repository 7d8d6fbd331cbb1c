#pragma once
// InspectorText writes a snapshot of the ads service as narration lines for the sandbox host:
// one heading line with the session time, the run, consent and pause, then per placement a line
// with its network, builder state and last grant, and one line per key in waterfall order with
// its ad's state, age and uuid.
// Example output:
//   inspect: run ended, configured | consent obtained, no form loaded, ... | pause none
//     interstitial connect (adMob, running; last grant 00:09:12 (48s ago))
//       1. c1  loaded  12s since request  uuid 6F0C...
// Threading: a pure function.

#include <string>
#include <vector>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"

namespace QVRAdKit::Sandbox {

struct InspectorText {
  // The lines of a snapshot taken at seconds from the session start (no time prefix: the
  // narrator adds it).
  [[nodiscard]] static std::vector<std::string> lines(Platform::TimeInterval at,
                                                      const AdsServiceSnapshot& snapshot);
};

}  // namespace QVRAdKit::Sandbox
