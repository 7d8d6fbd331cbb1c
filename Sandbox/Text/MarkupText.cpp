#include "Sandbox/Text/MarkupText.h"

#include "Sandbox/Text/Utf8.h"

namespace QVRAdKit::Sandbox::MarkupText {
namespace {

bool allowedInXml(char32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
  return c != 0xFFFE && c != 0xFFFF;  // surrogates never decode
}

}  // namespace

std::string sanitized(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Utf8::Step step = Utf8::next(text, at);
    if (step.valid && step.codePoint >= 0x20 && step.codePoint < 0x7F) {
      out += text[at];  // the common case, byte for byte
    } else if (allowedInXml(step.codePoint)) {
      Utf8::append(out, step.codePoint);
    }
    at += step.length;
  }
  return out;
}

}  // namespace QVRAdKit::Sandbox::MarkupText
