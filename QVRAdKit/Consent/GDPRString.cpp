#include "QVRAdKit/Consent/GDPRString.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace QVRAdKit {

namespace {

struct Decoded {
  char32_t codePoint;
  std::size_t length;
};

// The code point starting at text[at], or none when the bytes there are not well-formed UTF-8
// (a stray continuation byte, a truncated sequence, an overlong form, a surrogate, or a value
// past U+10FFFF).
std::optional<Decoded> decode(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return Decoded{lead, 1};
  std::size_t length = 0;
  char32_t codePoint = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byte(at + i);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < smallest || codePoint > 0x10FFFF) return std::nullopt;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return std::nullopt;
  return Decoded{codePoint, length};
}

// Consent strings are digits: in ASCII text every byte is valid and is one UTF-16 unit.
bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<std::uint8_t>(c) < 0x80; });
}

bool asciiHasChar(std::string_view text, char16_t codeUnit, std::size_t index) {
  return index < text.size() && static_cast<char16_t>(text[index]) == codeUnit;
}

}  // namespace

bool hasChar(std::string_view text, char16_t codeUnit, std::size_t index) {
  if (isAscii(text)) return asciiHasChar(text, codeUnit, index);
  std::optional<bool> answer;  // found at the index; the rest is still checked for validity
  std::size_t unit = 0;        // UTF-16 position of the code point being read
  for (std::size_t at = 0; at < text.size();) {
    const std::optional<Decoded> decoded = decode(text, at);
    if (!decoded) return false;
    at += decoded->length;
    if (answer) continue;
    const char32_t codePoint = decoded->codePoint;
    if (codePoint < 0x10000) {
      if (unit == index) answer = static_cast<char16_t>(codePoint) == codeUnit;
      unit += 1;
    } else {
      const char32_t offset = codePoint - 0x10000;
      const auto high = static_cast<char16_t>(0xD800 + (offset >> 10));
      const auto low = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
      if (unit == index) answer = high == codeUnit;
      if (unit + 1 == index) answer = low == codeUnit;
      unit += 2;
    }
  }
  return answer.value_or(false);
}

bool hasCharAtEach(std::string_view text, char16_t codeUnit, std::span<const std::size_t> indices) {
  if (isAscii(text)) {
    return std::all_of(indices.begin(), indices.end(),
                       [&](std::size_t index) { return asciiHasChar(text, codeUnit, index); });
  }
  return std::all_of(indices.begin(), indices.end(),
                     [&](std::size_t index) { return hasChar(text, codeUnit, index); });
}

}  // namespace QVRAdKit
