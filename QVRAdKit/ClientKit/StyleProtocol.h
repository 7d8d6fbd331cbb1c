#pragma once
// StyleProtocol is what every style record of the host's design kit shares: a `name` by which the
// host's catalogue knows it (it may be empty). Style records are plain values, so this is a
// concept rather than a base class: they keep value equality and aggregate initialisation.
// Example: static_assert(StyleProtocol<TextStyle>);
// Threading: compile time only.

#include <concepts>
#include <string>

namespace QVRAdKit {

template <class T>
concept StyleProtocol = requires(const T& style) {
  { style.name } -> std::convertible_to<std::string>;
};

}  // namespace QVRAdKit
