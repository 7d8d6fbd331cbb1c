#include "Sandbox/Storage/SessionTimeline.h"

#include <cmath>
#include <variant>

namespace QVRAdKit::Sandbox::SessionTimeline {

std::optional<Platform::Date> lastEnd(const SQLiteKeyValueStore& store) {
  const auto stored = store.value(kNamespace, kSessionEndedKey);
  const auto* date = stored ? std::get_if<Platform::Date>(&*stored) : nullptr;
  if (!date || !std::isfinite(date->timeIntervalSince1970())) return std::nullopt;
  if (*date < Platform::Date::distantPast() || *date > Platform::Date::distantFuture()) {
    return std::nullopt;
  }
  return *date;
}

std::optional<Platform::Error> recordEnd(SQLiteKeyValueStore& store, Platform::Date end) {
  return store.setValue(kNamespace, kSessionEndedKey, StorableValue(end));
}

}  // namespace QVRAdKit::Sandbox::SessionTimeline
