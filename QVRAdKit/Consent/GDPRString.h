#pragma once
// hasChar checks one position of a TCF consent string ("IABTCF_PurposeConsents" and the like):
// whether the UTF-16 code unit at index equals codeUnit. TCF strings are plain ASCII, so each byte
// of text is one code unit. An index at or past the end answers false.
// Example: hasChar("1011", u'1', 2) is true; hasChar("10", u'1', 6) is false.

#include <cstddef>
#include <string_view>

namespace QVRAdKit {

[[nodiscard]] bool hasChar(std::string_view text, char16_t codeUnit, std::size_t index);

}  // namespace QVRAdKit
