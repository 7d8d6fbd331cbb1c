#pragma once
// InspectorFormat holds the wording that the inspector's text and HTML page share: session clock
// times, durations, placement labels and the one-line summaries of a snapshot's run, consent and
// pause state, so that the narration and the page say the same things the same way.
// Example: InspectorFormat::sessionClock(3725) == "01:02:05"
// Threading: pure functions.

#include <optional>
#include <string>

#include "QVRAdKit/Config/AdsPlacement.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"

namespace QVRAdKit::Sandbox {

struct InspectorFormat {
  // "hh:mm:ss" of whole seconds (rounded down), with a leading "-" before the session start.
  [[nodiscard]] static std::string sessionClock(Platform::TimeInterval seconds);
  // "45s", "12m 05s", "3h 59m 59s" of whole seconds (rounded down; negative with a "-").
  [[nodiscard]] static std::string duration(Platform::TimeInterval seconds);
  // "interstitial connect", "rewarded timewall", "app-open main".
  [[nodiscard]] static std::string placement(const AdsPlacement& placement);
  // "12s since request", "3h 59m 59s since load", or "-" without an age.
  [[nodiscard]] static std::string age(const AdsServiceSnapshot::Ad& ad);
  // "adMob, running" / "ironSource, not started" / "adMob, no builder".
  [[nodiscard]] static std::string builder(const AdsServiceSnapshot::Placement& placement);
  // "run in progress" / "run ended" / "no run yet", and whether a configuration is stored.
  [[nodiscard]] static std::string run(const AdsServiceSnapshot& snapshot);
  // "obtained, no form loaded, personalised ads allowed" or "no consent service".
  [[nodiscard]] static std::string consent(const AdsServiceSnapshot& snapshot);
  // "none", "until 01:00:00 (paused)", "until 00:10:00 (over)", "unreadable".
  [[nodiscard]] static std::string pause(const AdsServiceSnapshot& snapshot,
                                         Platform::Date sessionStart);
  // "00:09:12 (48s ago)" for a placement granted then; none without a grant.
  [[nodiscard]] static std::optional<std::string> lastGrant(
      const AdsServiceSnapshot& snapshot, const AdsServiceSnapshot::Placement& placement,
      Platform::Date sessionStart);
};

}  // namespace QVRAdKit::Sandbox
