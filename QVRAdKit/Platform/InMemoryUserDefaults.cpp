#include "QVRAdKit/Platform/InMemoryUserDefaults.h"

namespace QVRAdKit::Platform {

std::optional<DefaultsValue> InMemoryUserDefaults::objectForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void InMemoryUserDefaults::setObject(const std::optional<DefaultsValue>& value,
                                     std::string_view key) {
  std::lock_guard lock(mutex_);
  auto found = values_.find(key);
  if (!value) {
    if (found != values_.end()) values_.erase(found);
  } else if (found != values_.end()) {
    found->second = *value;
  } else {
    values_.emplace(std::string(key), *value);
  }
}

}  // namespace QVRAdKit::Platform
