#pragma once
// MarkupText makes any bytes fit for an XML or HTML document: invalid UTF-8 becomes U+FFFD, and
// the characters XML 1.0 forbids (controls other than tab, line feed and carriage return,
// U+FFFE and U+FFFF) are dropped, so a partner title read from anywhere can never make a picture
// or a page unreadable. Escaping the markup characters stays with each writer.
// Example: MarkupText::sanitized("a\x01\xff") == "a\uFFFD"
// Threading: pure function.

#include <string>
#include <string_view>

namespace QVRAdKit::Sandbox::MarkupText {

// text as valid UTF-8 holding only characters XML allows.
[[nodiscard]] std::string sanitized(std::string_view text);

}  // namespace QVRAdKit::Sandbox::MarkupText
