#pragma once
// SessionTimeline keeps, in a store, the simulated moment at which the last session played on it
// ended, so that the next session on a kept store can start after it, as a phone's clock moves on
// between two uses of an application: a pause saved by one session then expires in the next one
// instead of holding for days of wall-clock time. A session also marks itself under way when it
// starts, and its writes carry the simulated moment they were made at (writeStamp), so that after
// a session that never ended (its process was killed) the next one starts after the latest moment
// the store reached, not before data the stopped session wrote. A moment that no session could have
// reached (not a date, not finite, before ManualClock::kDefaultStart, where every kept store's
// first session starts, or past Date::distantFuture()) makes the store unusable: it is refused
// rather than read as a store whose session never ended.
// Example:
//   const auto last = SessionTimeline::lastSession(*store);
//   if (!last) { report(last.error()); return; }
//   const auto start = *last ? (*last)->at : ManualClock::kDefaultStart;
//   SessionTimeline::recordStart(*store, start);
//   store->stampWrites(SessionTimeline::writeStamp([clock] { return clock->now(); }));
//   ...
//   SessionTimeline::recordEnd(*store, clock->now());
// Threading: as the store (any thread).

#include <functional>
#include <optional>
#include <string_view>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox::SessionTimeline {

inline constexpr std::string_view kNamespace = "sandboxHost";
inline constexpr std::string_view kSessionEndedKey = "sessionEndedAt";
// Present while a session is under way: the simulated moment it started at.
inline constexpr std::string_view kSessionStartedKey = "sessionStartedAt";
// The simulated moment of the latest write of a session's data.
inline constexpr std::string_view kLastWriteKey = "lastWriteAt";

// Where the last session on a store left it.
struct LastSession {
  // When it ended; for a session that did not end, the latest simulated moment the store reached
  // (its last write, or its start when it wrote nothing).
  Platform::Date at;
  // False for a session that was stopped before it could record its end.
  bool ended = true;
};

// None for a store no session played on; an error naming the entry and why when one of the
// timeline's entries holds no moment a session could have reached.
[[nodiscard]] Platform::Expected<std::optional<LastSession>> lastSession(
    const SQLiteKeyValueStore& store);
// Marks a session under way from start.
std::optional<Platform::Error> recordStart(SQLiteKeyValueStore& store, Platform::Date start);
// Records a session's end and that none is under way, in one transaction.
std::optional<Platform::Error> recordEnd(SQLiteKeyValueStore& store, Platform::Date end);
// The stamp that keeps now() with every write of a session's data.
[[nodiscard]] SQLiteKeyValueStore::Stamp writeStamp(std::function<Platform::Date()> now);

}  // namespace QVRAdKit::Sandbox::SessionTimeline
