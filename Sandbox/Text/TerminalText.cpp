#include "Sandbox/Text/TerminalText.h"

#include <array>
#include <cstdio>

#include "Sandbox/Text/Utf8.h"

namespace QVRAdKit::Sandbox::TerminalText {
namespace {

bool bidirectionalControl(char32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

void appendEscape(std::string& out, const char* format, unsigned value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), format, value);
  out += text.data();
}

}  // namespace

std::string visible(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Utf8::Step step = Utf8::next(text, at);
    const char32_t c = step.codePoint;
    if (!step.valid) {
      appendEscape(out, "\\x%02X", static_cast<unsigned char>(text[at]));
    } else if (c < 0x20 || c == 0x7F) {
      appendEscape(out, "\\x%02X", static_cast<unsigned>(c));
    } else if ((c >= 0x80 && c < 0xA0) || bidirectionalControl(c)) {
      appendEscape(out, "\\u{%X}", static_cast<unsigned>(c));
    } else {
      out.append(text.substr(at, step.length));
    }
    at += step.length;
  }
  return out;
}

std::string quoted(std::string_view text) {
  // Appended, not "\"" + string: g++ 12 at -O3 warns falsely of overlapping copies.
  std::string result("\"");
  result += visible(text);
  result += '"';
  return result;
}

}  // namespace QVRAdKit::Sandbox::TerminalText
