#pragma once
// Utf8 reads text one code point at a time, strictly: overlong forms, surrogates, code points
// past U+10FFFF and cut-off sequences are invalid, one byte at a time, so a writer can replace or
// escape exactly the bytes that are wrong and keep the rest.
// Example:
//   for (std::size_t at = 0; at < text.size();) {
//     const Utf8::Step step = Utf8::next(text, at);
//     at += step.length;
//   }
// Threading: pure functions.

#include <cstddef>
#include <string>
#include <string_view>

namespace QVRAdKit::Sandbox::Utf8 {

struct Step {
  char32_t codePoint = 0;  // U+FFFD when invalid
  std::size_t length = 1;  // bytes read, at least 1
  bool valid = false;
};

inline constexpr char32_t kReplacement = 0xFFFD;

// The code point starting at text[at]; at must be before the end.
[[nodiscard]] Step next(std::string_view text, std::size_t at);
// Appends codePoint (a valid scalar value) as UTF-8.
void append(std::string& out, char32_t codePoint);

}  // namespace QVRAdKit::Sandbox::Utf8
