#pragma once
// textIs tells whether a name an analytics event carries is exactly the given literal. The length
// is compared first and the bytes with a comparison of fixed size, which the compiler turns into a
// few inline instructions: the sinks that add events up compare names on every event, and
// std::string_view's own comparison is an out-of-line call.
// Example:
//   if (textIs(event.name, "ad_loaded")) ...

#include <cstddef>
#include <cstring>
#include <string_view>

namespace QVRAdKit::Sandbox {

template <std::size_t N>
[[nodiscard]] inline bool textIs(std::string_view text, const char (&literal)[N]) {
  return text.size() == N - 1 && std::memcmp(text.data(), literal, N - 1) == 0;
}

}  // namespace QVRAdKit::Sandbox
