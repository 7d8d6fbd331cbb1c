#include "Sandbox/Text/Utf8.h"

namespace QVRAdKit::Sandbox::Utf8 {

Step next(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return {kReplacement, 1, false};  // a continuation byte, or a lead no scalar value has
  }
  if (text.size() - at < length) return {kReplacement, 1, false};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char continuation = byte(at + i);
    if ((continuation & 0xC0u) != 0x80) return {kReplacement, 1, false};
    value = (value << 6) | (continuation & 0x3Fu);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || value > 0x10FFFF || surrogate) return {kReplacement, 1, false};
  return {value, length, true};
}

void append(std::string& out, char32_t codePoint) {
  const auto put = [&out](char32_t bits) { out += static_cast<char>(bits); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace QVRAdKit::Sandbox::Utf8
