#pragma once
// hasChar checks one position of a TCF consent string ("IABTCF_PurposeConsents" and the like) the
// way the phone's string class indexes text: by UTF-16 code unit. The text is UTF-8; a letter
// outside ASCII counts as one code unit (two for one beyond the basic plane, such as an emoji), so
// the positions after it are those a UTF-16 string would give. Answers false when the index is at
// or past the end, and for text that is not valid UTF-8 (a string the platform could not have
// made), wherever the fault lies.
// Example: hasChar("1011", u'1', 2) is true; hasChar("\u00e91", u'1', 1) is true;
// hasChar("10", u'1', 6) is false.
// hasCharAtEach answers whether every listed position holds the code unit, as hasChar would for
// each (true for none); the text is checked for ASCII once rather than once per position.
// Threading: any thread; pure.

#include <cstddef>
#include <span>
#include <string_view>

namespace QVRAdKit {

[[nodiscard]] bool hasChar(std::string_view text, char16_t codeUnit, std::size_t index);
[[nodiscard]] bool hasCharAtEach(std::string_view text, char16_t codeUnit,
                                 std::span<const std::size_t> indices);

}  // namespace QVRAdKit
