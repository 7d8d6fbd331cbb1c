#include "Sandbox/Storage/SQLiteUserDefaults.h"

#include <type_traits>
#include <utility>
#include <variant>

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

std::optional<Platform::Error> SQLiteUserDefaults::trySetObject(
    const std::optional<Platform::DefaultsValue>& value, std::string_view key) {
  if (!value) return store_->setValue(nameSpace_, key, std::nullopt);
  auto stored = std::visit([](const auto& held) { return StorableValue(held); }, *value);
  return store_->setValue(nameSpace_, key, stored);
}

}  // namespace QVRAdKit::Sandbox
