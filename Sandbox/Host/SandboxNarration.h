#pragma once
// SandboxNarration formats the times the sandbox host prints: the "[hh:mm:ss] " stamp of a
// narration line and a duration in whole seconds ("95s"). Any duration is accepted, however long
// (a configuration may make a period last billions of seconds) or odd (negative, NaN): nothing is
// converted to an integer type it does not fit.
// Example: SandboxNarration::stamp(3725.9) == "[01:02:05] "
// Threading: pure functions.

#include <string>

#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit::Sandbox::SandboxNarration {

// elapsed seconds since the start, rounded down; the hours grow past two digits as needed.
[[nodiscard]] std::string stamp(Platform::TimeInterval elapsed);
// A date in UTC to the second: "2027-01-15 08:00:00 UTC"; dates a calendar cannot hold say so.
[[nodiscard]] std::string utc(Platform::Date date);
// seconds rounded toward zero, with an "s": "3000000000s".
[[nodiscard]] std::string seconds(Platform::TimeInterval seconds);

}  // namespace QVRAdKit::Sandbox::SandboxNarration
