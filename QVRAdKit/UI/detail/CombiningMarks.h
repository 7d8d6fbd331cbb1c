#pragma once
// Whether a code point is a combining mark (general category M: nonspacing, spacing and enclosing
// marks), which is drawn with the letter before it in every script: Arabic harakat, Hebrew
// points, Indic vowel signs and viramas, Thai vowel marks, Latin accents. The table is generated
// by scripts/combining-marks.py and looked up by binary search.
// Threading: a pure function.

namespace QVRAdKit::UI::detail {

[[nodiscard]] bool isCombiningMark(char32_t c);

}  // namespace QVRAdKit::UI::detail
