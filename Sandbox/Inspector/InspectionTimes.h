#pragma once
// InspectionTimes reads the moments of a sandbox session at which the host inspects the ads
// service: a comma-separated list of simulated times from the session start, each in whole (or
// decimal) seconds ("90", "12.5"), minutes and seconds ("1:30", "01:30") or hours, minutes and
// seconds ("1:02:03"). The times come back sorted. Refused, with a message naming the culprit:
// an empty list or item, anything else than those forms, minutes or seconds of 60 or more in a
// clock form, the same moment given twice (also in two forms, "90" and "1:30"), a time past the
// session end, and more than kMaxTimes times.
// Example:
//   auto times = InspectionTimes::parse("10:00,90,1:00:00", /*sessionEnd=*/7200);
//   // times.value() == {90, 600, 3600}
// Threading: a pure function.

#include <cstddef>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Expected.h"

namespace QVRAdKit::Sandbox {

class InspectionTimes {
 public:
  static constexpr std::size_t kMaxTimes = 100;
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.InspectionTimes";

  // Seconds from the session start, sorted; or the error that names the first bad item.
  [[nodiscard]] static Platform::Expected<std::vector<Platform::TimeInterval>> parse(
      std::string_view text, Platform::TimeInterval sessionEnd);
};

}  // namespace QVRAdKit::Sandbox
