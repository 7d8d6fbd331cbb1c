#include "Sandbox/Storage/SQLiteUserDefaults.h"

#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace QVRAdKit::Sandbox {

SQLiteUserDefaults::SQLiteUserDefaults(std::shared_ptr<SQLiteKeyValueStore> store,
                                       std::string nameSpace)
    : store_(std::move(store)), nameSpace_(std::move(nameSpace)) {}

std::optional<Platform::DefaultsValue> SQLiteUserDefaults::objectForKey(
    std::string_view key) const {
  auto stored = store_->value(nameSpace_, key);
  if (!stored) return std::nullopt;
  return std::visit(
      [](auto&& held) -> std::optional<Platform::DefaultsValue> {
        using T = std::decay_t<decltype(held)>;
        // Settings hold no dates: one here was written through a Storage given this namespace.
        if constexpr (std::is_same_v<T, Platform::Date>) {
          return std::nullopt;
        } else {
          return std::optional<Platform::DefaultsValue>(std::in_place,
                                                        std::forward<decltype(held)>(held));
        }
      },
      std::move(*stored));
}

void SQLiteUserDefaults::setObject(const std::optional<Platform::DefaultsValue>& value,
                                   std::string_view key) {
  (void)trySetObject(value, key);
}

namespace {

std::optional<StorableValue> storable(const std::optional<Platform::DefaultsValue>& value) {
  if (!value) return std::nullopt;
  return std::visit([](const auto& held) { return std::optional<StorableValue>(held); }, *value);
}

}  // namespace

std::optional<Platform::Error> SQLiteUserDefaults::trySetObject(
    const std::optional<Platform::DefaultsValue>& value, std::string_view key) {
  return store_->setValue(nameSpace_, key, storable(value));
}

void SQLiteUserDefaults::setObjects(std::span<const Entry> entries) {
  (void)trySetObjects(entries);
}

std::optional<Platform::Error> SQLiteUserDefaults::trySetObjects(std::span<const Entry> entries) {
  std::vector<SQLiteKeyValueStore::Write> writes;
  writes.reserve(entries.size());
  for (const auto& [key, value] : entries) writes.push_back({nameSpace_, key, storable(value)});
  return store_->setValues(writes);
}

}  // namespace QVRAdKit::Sandbox
