#pragma once
// TextCharacters splits UTF-8 text into the characters a reader sees, the units a Label measures,
// wraps and cuts by: a code point with the combining marks (of any script), variation selectors
// and skin tones that follow it, what a zero-width joiner joins (an emoji family), and regional
// indicators in pairs (a flag). A malformed byte is a character of its own. Whoever limits text by
// its length in characters counts with it, so that the limit and the label agree.
// Example:
//   for (std::size_t at = 0; at < text.size(); at = TextCharacters::end(text, at)) ...
// Threading: pure functions.

#include <cstddef>
#include <string_view>

namespace QVRAdKit::UI::TextCharacters {

// The end of the character that starts at text[at]; at must be before the end.
[[nodiscard]] std::size_t end(std::string_view text, std::size_t at);
// How many characters text holds.
[[nodiscard]] std::size_t count(std::string_view text);

}  // namespace QVRAdKit::UI::TextCharacters
