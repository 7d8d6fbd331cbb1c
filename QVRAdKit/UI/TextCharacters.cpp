#include "QVRAdKit/UI/TextCharacters.h"

#include <cstddef>
#include <string_view>

#include "QVRAdKit/UI/detail/CombiningMarks.h"

namespace QVRAdKit::UI::TextCharacters {

using std::size_t;

namespace {

// The length in bytes of the code point at text[i]; a malformed byte counts as one character.
size_t characterLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t length = 1;
  if (lead >= 0xF0 && lead < 0xF8) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = lead < 0xF0 ? 3 : 1;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  if (i + length > text.size()) return 1;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// The code point of the well-formed UTF-8 sequence text[i, i + length); a stray byte is itself.
char32_t codePoint(std::string_view text, size_t i, size_t length) {
  const auto byte = [&](size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[i + k]));
  };
  switch (length) {
    case 2:
      return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
      return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    case 4:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
             (byte(3) & 0x3F);
    default:
      return byte(0);
  }
}

constexpr char32_t kZeroWidthJoiner = 0x200D;

bool isRegionalIndicator(char32_t c) {
  return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Code points drawn with the one before them: combining marks of every script (variation
// selectors among them), emoji skin tones, tags (subdivision flags) and the joiner itself. Two
// blocks of combining marks with code points still unassigned in the table are taken whole, so
// that marks added there later join too.
bool extendsPrevious(char32_t c) {
  return detail::isCombiningMark(c) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0x1F3FB && c <= 0x1F3FF) ||
         (c >= 0xE0020 && c <= 0xE007F) || c == kZeroWidthJoiner;
}

}  // namespace

// Text without marks, selectors, tones, joiners or indicators has one character per code point.
size_t end(std::string_view text, size_t i) {
  size_t length = characterLength(text, i);
  char32_t previous = codePoint(text, i, length);
  size_t indicators = isRegionalIndicator(previous) ? 1 : 0;
  i += length;
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80) {
    length = characterLength(text, i);
    const char32_t next = codePoint(text, i, length);
    const bool pairsFlag = indicators == 1 && isRegionalIndicator(next);
    if (!extendsPrevious(next) && previous != kZeroWidthJoiner && !pairsFlag) break;
    indicators = pairsFlag ? 2 : 0;
    previous = next;
    i += length;
  }
  return i;
}

size_t count(std::string_view text) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); i = end(text, i)) ++characters;
  return characters;
}

}  // namespace QVRAdKit::UI::TextCharacters
