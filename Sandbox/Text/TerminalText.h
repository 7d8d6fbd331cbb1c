#pragma once
// TerminalText shows text from a file or a command line safely in a one-line message: invalid
// UTF-8 bytes become \xNN, control characters \xNN (or \u{NN} above 0x7F), and bidirectional
// controls, which could make a terminal show a line in another order than it was written, become
// \u{NNNN}. A backslash stays as it is. Valid printable text is unchanged.
// Example: TerminalText::visible("a\xff\u202eb") == "a\\xFF\\u{202E}b"
// Threading: pure function.

#include <string>
#include <string_view>

namespace QVRAdKit::Sandbox::TerminalText {

[[nodiscard]] std::string visible(std::string_view text);
// visible(text) in double quotes, for messages that name a value or a path.
[[nodiscard]] std::string quoted(std::string_view text);

}  // namespace QVRAdKit::Sandbox::TerminalText
