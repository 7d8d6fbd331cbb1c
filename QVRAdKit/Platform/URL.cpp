#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit::Platform {

namespace {

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<URL> URL::string(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return std::nullopt;  // whitespace and control characters
  }
  // scheme = letter *( letter / digit / "+" / "-" / "." ), then ":".
  if (text.empty() || !isAsciiLetter(text.front())) return std::nullopt;
  size_t length = 1;
  while (length < text.size() &&
         (isAsciiLetter(text[length]) || isAsciiDigit(text[length]) || text[length] == '+' ||
          text[length] == '-' || text[length] == '.')) {
    ++length;
  }
  if (length == text.size() || text[length] != ':') return std::nullopt;
  return URL(std::string(text), length);
}

std::optional<std::string> URL::host() const {
  std::string_view rest = std::string_view(text_).substr(schemeLength_ + 1);
  if (!rest.starts_with("//")) return std::nullopt;
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host;
  if (authority.starts_with('[')) {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
  } else {
    host = authority.substr(0, authority.find(':'));
  }
  if (host.empty()) return std::nullopt;
  return std::string(host);
}

}  // namespace QVRAdKit::Platform
