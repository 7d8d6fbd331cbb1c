#pragma once
// URL is an absolute URL as a value: its text, scheme and host. Only text with a scheme
// ("https:", "mailto:", "itms-apps:") and without whitespace or control characters is a URL.
// Example: if (auto url = URL::string("https://example.com/offer")) application.open(*url);
// Threading: a value; copies are independent.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace QVRAdKit::Platform {

class URL {
 public:
  // None for empty text, text without a scheme, or text containing whitespace or control
  // characters.
  static std::optional<URL> string(std::string_view text);

  [[nodiscard]] const std::string& absoluteString() const { return text_; }
  // As written, without the colon ("https").
  [[nodiscard]] std::string scheme() const { return text_.substr(0, schemeLength_); }
  // The authority's host without user info, port or IPv6 brackets; none when the URL has no
  // "//" authority or it names no host ("mailto:a@b.c", "file:///tmp").
  [[nodiscard]] std::optional<std::string> host() const;

  bool operator==(const URL& other) const { return text_ == other.text_; }

 private:
  URL(std::string text, size_t schemeLength)
      : text_(std::move(text)), schemeLength_(schemeLength) {}

  std::string text_;
  size_t schemeLength_ = 0;
};

}  // namespace QVRAdKit::Platform
