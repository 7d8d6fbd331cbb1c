#pragma once
// InMemoryUserDefaults is a UserDefaults kept in memory for tests and for environments without a
// persistent store; it forgets everything when destroyed.
// Threading: every member may be called from any thread.

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Platform/UserDefaults.h"

namespace QVRAdKit::Platform {

class InMemoryUserDefaults final : public UserDefaults {
 public:
  [[nodiscard]] std::optional<DefaultsValue> objectForKey(std::string_view key) const override;
  void setObject(const std::optional<DefaultsValue>& value, std::string_view key) override;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, DefaultsValue, std::less<>> values_;
};

}  // namespace QVRAdKit::Platform
