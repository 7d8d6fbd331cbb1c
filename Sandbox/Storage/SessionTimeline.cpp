#include "Sandbox/Storage/SessionTimeline.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox::SessionTimeline {
namespace {

std::optional<Platform::Date> storedDate(const SQLiteKeyValueStore& store, std::string_view key) {
  const auto stored = store.value(kNamespace, key);
  const auto* date = stored ? std::get_if<Platform::Date>(&*stored) : nullptr;
  if (!date || !std::isfinite(date->timeIntervalSince1970())) return std::nullopt;
  if (*date < Platform::Date::distantPast() || *date > Platform::Date::distantFuture()) {
    return std::nullopt;
  }
  return *date;
}

}  // namespace

std::optional<LastSession> lastSession(const SQLiteKeyValueStore& store) {
  const auto started = storedDate(store, kSessionStartedKey);
  const auto written = storedDate(store, kLastWriteKey);
  const auto ended = storedDate(store, kSessionEndedKey);
  if (!started && ended) return LastSession{*ended, true};
  // Under way and never ended: the store reached at least its start and its last write (and an
  // earlier session's end, should a start have been recorded before it).
  std::optional<Platform::Date> reached;
  for (const auto& moment : {started, written, ended}) {
    if (moment && (!reached || *moment > *reached)) reached = moment;
  }
  if (!reached) return std::nullopt;
  return LastSession{*reached, false};
}

std::optional<Platform::Date> lastEnd(const SQLiteKeyValueStore& store) {
  return storedDate(store, kSessionEndedKey);
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
