#include "Sandbox/Storage/SQLiteStorage.h"

#include <utility>

namespace QVRAdKit::Sandbox {

SQLiteStorage::SQLiteStorage(std::shared_ptr<SQLiteKeyValueStore> store, std::string nameSpace)
    : store_(std::move(store)), nameSpace_(std::move(nameSpace)) {}

std::optional<StorableValue> SQLiteStorage::value(std::string_view key) const {
  return store_->value(nameSpace_, key);
}

std::optional<Platform::Error> SQLiteStorage::setValue(const std::optional<StorableValue>& value,
                                                       std::string_view key) {
  return store_->setValue(nameSpace_, key, value);
}

}  // namespace QVRAdKit::Sandbox
