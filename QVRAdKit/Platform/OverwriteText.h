#pragma once
// overwriteText replaces a string's characters with another text's. A text of the same length (a
// uuid, the same unit or network again) is copied straight over the held one: the library's
// general assignment, made for any length and any overlap, costs more than that on the paths that
// refill the same strings for every ad event.
// Example:
//   std::string held(36, '0');
//   Platform::overwriteText(held, uuid);

#include <cstring>
#include <string>
#include <string_view>

namespace QVRAdKit::Platform {

inline void overwriteText(std::string& held, std::string_view text) {
  if (text.size() == held.size()) {
    std::memmove(held.data(), text.data(), text.size());  // text may be part of held
  } else {
    held.assign(text);
  }
}

}  // namespace QVRAdKit::Platform
