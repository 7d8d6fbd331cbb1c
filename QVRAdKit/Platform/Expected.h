#pragma once
// Expected<T> holds either a value or the Error that kept it from being made. Factories that can
// fail (opening a store, parsing a configuration) return it instead of throwing.
// Example: auto store = SQLiteStorage::open(path); if (!store) report(store.error());

#include <utility>
#include <variant>

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit::Platform {

template <class T>
class Expected {
 public:
  Expected(T value)
      : content_(std::in_place_index<0>, std::move(value)) {
  }  // NOLINT(google-explicit-constructor)
  Expected(Error error)
      : content_(std::in_place_index<1>, std::move(error)) {
  }  // NOLINT(google-explicit-constructor)

  [[nodiscard]] bool hasValue() const { return content_.index() == 0; }
  explicit operator bool() const { return hasValue(); }

  T& value() & { return std::get<0>(content_); }
  const T& value() const& { return std::get<0>(content_); }
  T&& value() && { return std::get<0>(std::move(content_)); }
  const Error& error() const { return std::get<1>(content_); }

  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }

 private:
  std::variant<T, Error> content_;
};

}  // namespace QVRAdKit::Platform
