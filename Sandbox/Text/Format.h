#pragma once
// Text::format is printf into a std::string, for the sandbox's fixed-width tables and summaries.
// It returns the whole result, however long: a name wider than its column widens the line instead
// of being cut.
// Example: out += Text::format("  %-14s %9d\n", name.c_str(), count);
// Threading: any thread.

#include <cstddef>
#include <cstdio>
#include <string>

namespace QVRAdKit::Sandbox::Text {

template <class... Args>
std::string format(const char* pattern, Args... args) {
  const int size = std::snprintf(nullptr, 0, pattern, args...);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, args...);
  return text;
}

}  // namespace QVRAdKit::Sandbox::Text
