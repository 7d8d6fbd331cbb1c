#pragma once
// UserDefaults is the phone's standard per-application settings store: text keys to small values.
// The consent platform writes its TCF strings here and the module reads them. Implementations:
// InMemoryUserDefaults (tests) and the SQLite-backed store of the sandbox.
// Threading: every member may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace QVRAdKit::Platform {

using DefaultsValue = std::variant<bool, std::int64_t, double, std::string>;

class UserDefaults {
 public:
  virtual ~UserDefaults() = default;

  // The value stored under key, or none.
  [[nodiscard]] virtual std::optional<DefaultsValue> objectForKey(std::string_view key) const = 0;
  // Stores value under key; none removes the entry.
  virtual void setObject(const std::optional<DefaultsValue>& value, std::string_view key) = 0;

  // The text stored under key; none when absent or not text.
  [[nodiscard]] std::optional<std::string> stringForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&*value)) return std::move(*text);
    return std::nullopt;
  }
  void removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }
};

}  // namespace QVRAdKit::Platform
