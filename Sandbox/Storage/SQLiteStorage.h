#pragma once
// SQLiteStorage is the sandbox's Storage: one namespace of a SQLiteKeyValueStore, so reads come
// from memory and each write is a durable commit that survives a restart. A date is kept as a
// date: reading it as another type answers none.
// Threading: any thread (the store locks). Shares the store with SQLiteUserDefaults.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/Storage.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {

class SQLiteStorage final : public Storage {
 public:
  static constexpr std::string_view kDefaultNamespace = "storage";

  // store must not be null.
  explicit SQLiteStorage(std::shared_ptr<SQLiteKeyValueStore> store,
                         std::string nameSpace = std::string(kDefaultNamespace));

  [[nodiscard]] std::optional<StorableValue> value(std::string_view key) const override;
  std::optional<Platform::Error> setValue(const std::optional<StorableValue>& value,
                                          std::string_view key) override;

  [[nodiscard]] const std::shared_ptr<SQLiteKeyValueStore>& store() const { return store_; }
  [[nodiscard]] const std::string& nameSpace() const { return nameSpace_; }

 private:
  std::shared_ptr<SQLiteKeyValueStore> store_;
  std::string nameSpace_;
};

}  // namespace QVRAdKit::Sandbox
