#pragma once
// SQLiteUserDefaults is the sandbox's UserDefaults: one namespace of a SQLiteKeyValueStore (not
// the one SQLiteStorage uses), read from memory and written durably, so consent strings written
// in one run are there in the next. setObject cannot report a failed write (the phone's settings
// store cannot either); trySetObject answers the error, and the previous value is kept.
// Threading: every member may be called from any thread (the store locks).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

  // As setObject, answering the error of a write that could not be committed.
  std::optional<Platform::Error> trySetObject(const std::optional<Platform::DefaultsValue>& value,
                                              std::string_view key);

  [[nodiscard]] const std::shared_ptr<SQLiteKeyValueStore>& store() const { return store_; }

 private:
  std::shared_ptr<SQLiteKeyValueStore> store_;
  std::string nameSpace_;
};

}  // namespace QVRAdKit::Sandbox
