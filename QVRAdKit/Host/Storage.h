#pragma once
// Storage is the host's persistent key-value store (text keys). The module keeps one date in it,
// the end of an ads pause. Values survive application restarts. A read of a key that holds a value
// of another type answers none, as if nothing were stored.
// Threading: main queue; implementations may allow more.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

using StorableValue = std::variant<bool, std::int64_t, double, std::string, Platform::Date>;

template <class T>
concept Storable =
    std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, double> ||
    std::is_same_v<T, std::string> || std::is_same_v<T, Platform::Date>;

class Storage {
 public:
  virtual ~Storage() = default;

  // The value stored under key, or none.
  [[nodiscard]] virtual std::optional<StorableValue> value(std::string_view key) const = 0;
  // Stores value under key (none removes it). Answers the error when the write could not be made
  // durable; the previous value is then kept.
  virtual std::optional<Platform::Error> setValue(const std::optional<StorableValue>& value,
                                                  std::string_view key) = 0;

  template <Storable T>
  [[nodiscard]] std::optional<T> read(std::string_view key) const {
    auto stored = value(key);
    if (!stored) return std::nullopt;
    if (auto* typed = std::get_if<T>(&*stored)) return std::move(*typed);
    return std::nullopt;
  }

  template <Storable T>
  std::optional<Platform::Error> write(const std::optional<T>& value, std::string_view key) {
    return setValue(value ? std::optional<StorableValue>(*value) : std::nullopt, key);
  }
};

}  // namespace QVRAdKit
