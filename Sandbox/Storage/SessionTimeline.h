#pragma once
// SessionTimeline keeps, in a store, the simulated moment at which the last session played on it
// ended, so that the next session on a kept store can start after it, as a phone's clock moves on
// between two uses of an application: a pause saved by one session then expires in the next one
// instead of holding for days of wall-clock time. A moment that is not a usable date (not finite,
// before 0001 or after 4001) reads as none.
// Example:
//   const auto start = SessionTimeline::lastEnd(*store).value_or(ManualClock::kDefaultStart);
//   ...
//   SessionTimeline::recordEnd(*store, clock->now());
// Threading: as the store (any thread).

#include <optional>
#include <string_view>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Error.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox::SessionTimeline {

inline constexpr std::string_view kNamespace = "sandboxHost";
inline constexpr std::string_view kSessionEndedKey = "sessionEndedAt";

[[nodiscard]] std::optional<Platform::Date> lastEnd(const SQLiteKeyValueStore& store);
std::optional<Platform::Error> recordEnd(SQLiteKeyValueStore& store, Platform::Date end);

}  // namespace QVRAdKit::Sandbox::SessionTimeline
