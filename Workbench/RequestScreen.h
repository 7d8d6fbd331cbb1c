#pragma once
// RequestScreen looks at a request's head, before the server reads its body, for what the
// workbench refuses without reading on:
//   - Content-Length, Host, Origin or X-Workbench-Token given more than once with different
//     values (which one counts would be a guess), or a Content-Length that is not a whole number
//     of bytes: 400, naming the header;
//   - a Transfer-Encoding (chunked): the body's size is not known before it is read, so the
//     body limit could only be applied after the fact: 411, send a Content-Length;
//   - a Content-Encoding other than identity: the HTTP library would unpack it with no bound on
//     the unpacked size: 415, send it uncompressed;
//   - a form-encoded body (curl -d's default type) over the 8 KiB the library allows such
//     bodies, or any multipart form body: 415, the routes take JSON;
//   - more than kMaxHeaderLines header lines or kMaxHeaderBytes of them: 431;
//   - a URL with a '%' not followed by two hexadecimal digits: 400 (the library would keep such a
//     '%' as it is, or read its own %uXXXX, and a route would see a value nobody sent).
// Example: if (auto refusal = RequestScreen::refusal(request)) refuse(response, refusal->status,
//          refusal->message);
// Threading: a pure function of the request.

#include <cstddef>
#include <optional>
#include <string>

namespace httplib {
struct Request;
}

namespace QVRAdKit::Workbench::RequestScreen {

inline constexpr std::size_t kMaxHeaderLines = 100;
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{64} << 10;
// The HTTP library's own bound on a form-encoded body.
inline constexpr std::size_t kMaxFormBytes = 8192;

struct Refusal {
  int status = 400;
  std::string message;
};

[[nodiscard]] std::optional<Refusal> refusal(const httplib::Request& request);

// A header's value, or a part of the request line, as quoted back in a message: short, whatever
// the client sent.
[[nodiscard]] std::string quoted(const std::string& value);

// A POST that has neither a Content-Length nor a Transfer-Encoding has no body (HTTP/1.1);
// the library would otherwise wait for the connection's end to read one.
[[nodiscard]] bool hasNoBody(const httplib::Request& request);

}  // namespace QVRAdKit::Workbench::RequestScreen
