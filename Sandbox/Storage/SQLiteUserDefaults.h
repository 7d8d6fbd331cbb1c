#pragma once
// SQLiteUserDefaults is the sandbox's UserDefaults: one namespace of a SQLiteKeyValueStore (not
// the one SQLiteStorage uses), read from memory and written durably, so consent strings written
// in one run are there in the next. setObjects writes values that belong together in one
// transaction: all of them or, when the write fails, none. setObject and setObjects cannot report
// a failed write (the phone's settings store cannot either); trySetObject and trySetObjects answer
// the error, and the previous values are kept.
// Threading: every member may be called from any thread (the store locks).

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/UserDefaults.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {

class SQLiteUserDefaults final : public Platform::UserDefaults {
 public:
  static constexpr std::string_view kDefaultNamespace = "userDefaults";

  // store must not be null.
  explicit SQLiteUserDefaults(std::shared_ptr<SQLiteKeyValueStore> store,
                              std::string nameSpace = std::string(kDefaultNamespace));

  [[nodiscard]] std::optional<Platform::DefaultsValue> objectForKey(
      std::string_view key) const override;
  void setObject(const std::optional<Platform::DefaultsValue>& value,
                 std::string_view key) override;

  // A key and the value to store under it (none removes the entry).
  using Entry = std::pair<std::string_view, std::optional<Platform::DefaultsValue>>;
  // Stores values that belong together (the consent strings of one answer) in one transaction:
  // all of them, or none when the write fails.
  void setObjects(std::span<const Entry> entries);

  // As setObject, answering the error of a write that could not be committed.
  std::optional<Platform::Error> trySetObject(const std::optional<Platform::DefaultsValue>& value,
                                              std::string_view key);
  // As setObjects, answering the error of a batch that could not be committed.
  std::optional<Platform::Error> trySetObjects(std::span<const Entry> entries);

  [[nodiscard]] const std::shared_ptr<SQLiteKeyValueStore>& store() const { return store_; }

 private:
  std::shared_ptr<SQLiteKeyValueStore> store_;
  std::string nameSpace_;
};

}  // namespace QVRAdKit::Sandbox
