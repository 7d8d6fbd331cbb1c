#include "Sandbox/Storage/SessionTimeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

#include "QVRAdKit/Platform/ManualClock.h"
#include "Sandbox/Host/SandboxNarration.h"
#include "Sandbox/Storage/SQLiteValueCodec.h"

namespace QVRAdKit::Sandbox::SessionTimeline {
namespace {

// Why a stored moment is none a session could have reached; empty when it is one.
std::string unusable(const StorableValue& stored) {
  const auto* date = std::get_if<Platform::Date>(&stored);
  if (!date) return "it is not a date";
  if (!std::isfinite(date->timeIntervalSince1970())) return "it is not a finite date";
  if (*date < Platform::ManualClock::kDefaultStart) {
    return "it is before " + SandboxNarration::utc(Platform::ManualClock::kDefaultStart) +
           ", where the first session on a store starts";
  }
  if (*date > Platform::Date::distantFuture()) {
    return "it is after " + SandboxNarration::utc(Platform::Date::distantFuture()) +
           ", the last date a store keeps";
  }
  return {};
}

// The moment stored under key: none when absent, an error naming the entry when unusable.
Platform::Expected<std::optional<Platform::Date>> storedDate(const SQLiteKeyValueStore& store,
                                                             std::string_view key) {
  const auto stored = store.value(kNamespace, key);
  if (!stored) return std::optional<Platform::Date>();
  if (auto reason = unusable(*stored); !reason.empty()) {
    using SQLiteValueCodec::inQuotes;
    return Platform::Error{std::string(SQLiteKeyValueStore::kErrorDomain),
                           static_cast<std::int64_t>(SQLiteKeyValueStore::ErrorCode::corrupt),
                           "Cannot use the store at " + inQuotes(store.path()) + ": the entry " +
                               inQuotes(key) + " in namespace " + inQuotes(kNamespace) +
                               " holds no moment a session reached (" + reason + ")"};
  }
  return std::optional<Platform::Date>(std::get<Platform::Date>(*stored));
}

}  // namespace

Platform::Expected<std::optional<LastSession>> lastSession(const SQLiteKeyValueStore& store) {
  const auto startedEntry = storedDate(store, kSessionStartedKey);
  const auto writtenEntry = storedDate(store, kLastWriteKey);
  const auto endedEntry = storedDate(store, kSessionEndedKey);
  for (const auto* entry : {&startedEntry, &writtenEntry, &endedEntry}) {
    if (!*entry) return entry->error();
  }
  const auto& started = startedEntry.value();
  const auto& written = writtenEntry.value();
  const auto& ended = endedEntry.value();
  if (!started && ended) return std::optional(LastSession{*ended, true});
  // Under way and never ended: the store reached at least its start and its last write (and an
  // earlier session's end, should a start have been recorded before it).
  std::optional<Platform::Date> reached;
  for (const auto& moment : {started, written, ended}) {
    if (moment && (!reached || *moment > *reached)) reached = moment;
  }
  if (!reached) return std::optional<LastSession>();
  return std::optional(LastSession{*reached, false});
}

std::optional<Platform::Error> recordStart(SQLiteKeyValueStore& store, Platform::Date start) {
  return store.setValue(kNamespace, kSessionStartedKey, StorableValue(start));
}

std::optional<Platform::Error> recordEnd(SQLiteKeyValueStore& store, Platform::Date end) {
  const SQLiteKeyValueStore::Write writes[] = {
      {kNamespace, kSessionEndedKey, StorableValue(end)},
      {kNamespace, kSessionStartedKey, std::nullopt},
  };
  return store.setValues(writes);
}

SQLiteKeyValueStore::Stamp writeStamp(std::function<Platform::Date()> now) {
  return {std::string(kNamespace), std::string(kLastWriteKey),
          [now = std::move(now)] { return StorableValue(now()); }};
}

}  // namespace QVRAdKit::Sandbox::SessionTimeline
