#include "Workbench/RequestScreen.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace QVRAdKit::Workbench::RequestScreen {
namespace {

// The library adds the peer's and its own address and port to the request's headers.
constexpr std::size_t kLibraryHeaders = 4;
constexpr std::size_t kMaxQuotedValue = 40;

std::string lowerTrimmed(std::string text) {
  const auto notSpace = [](unsigned char c) { return c != ' ' && c != '\t'; };
  text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
  text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::uint64_t> contentLength(const httplib::Request& request) {
  if (!request.has_header("Content-Length")) return std::nullopt;
  const std::string text = lowerTrimmed(request.get_header_value("Content-Length"));
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return length;
}

// The first of the headers that decide how a request is read and whom it comes from that is
// given more than once with different values: the library would use the first and leave the
// others unread, so that the server and whatever stands before it could read two requests.
std::optional<std::string> conflictingHeader(const httplib::Request& request) {
  for (const char* name : {"Content-Length", "Host", "Origin", "X-Workbench-Token"}) {
    const std::size_t count = request.get_header_value_count(name);
    const std::string first = lowerTrimmed(request.get_header_value(name));
    for (std::size_t index = 1; index < count; ++index) {
      if (lowerTrimmed(request.get_header_value(name, index)) != first) return name;
    }
  }
  return std::nullopt;
}

// Where in target a '%' is not followed by two hexadecimal digits; npos when none is.
std::size_t badPercent(const std::string& target) {
  const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  for (std::size_t at = target.find('%'); at != std::string::npos; at = target.find('%', at + 1)) {
    if (at + 2 >= target.size() || !hex(target[at + 1]) || !hex(target[at + 2])) return at;
  }
  return std::string::npos;
}

}  // namespace

std::string quoted(const std::string& value) {
  return value.size() <= kMaxQuotedValue ? value : value.substr(0, kMaxQuotedValue) + "...";
}

std::optional<Refusal> refusal(const httplib::Request& request) {
  std::size_t headerBytes = 0;
  for (const auto& [name, value] : request.headers) headerBytes += name.size() + value.size();
  if (request.headers.size() > kMaxHeaderLines + kLibraryHeaders || headerBytes > kMaxHeaderBytes) {
    return Refusal{431, "the request has more than " + std::to_string(kMaxHeaderLines) +
                            " header lines or " + std::to_string(kMaxHeaderBytes >> 10) +
                            " KiB of headers"};
  }
  if (const std::size_t at = badPercent(request.target); at != std::string::npos) {
    return Refusal{400,
                   "the URL has a bad percent-encoding (" + request.target.substr(at, 3) +
                       " at character " + std::to_string(at + 1) +
                       "): a % is followed by two hexadecimal digits; write a % itself as %25"};
  }
  if (auto name = conflictingHeader(request)) {
    return Refusal{400, "the request has several " + *name + " headers that disagree"};
  }
  if (request.has_header("Content-Length") && !contentLength(request)) {
    return Refusal{400, "the Content-Length header (" +
                            quoted(request.get_header_value("Content-Length")) +
                            ") is not a whole number of bytes"};
  }
  if (request.has_header("Transfer-Encoding")) {
    return Refusal{411, "send a Content-Length: bodies in a transfer encoding (" +
                            quoted(request.get_header_value("Transfer-Encoding")) +
                            ") are not accepted"};
  }
  if (request.has_header("Content-Encoding")) {
    const std::string encoding = lowerTrimmed(request.get_header_value("Content-Encoding"));
    if (!encoding.empty() && encoding != "identity") {
      return Refusal{415, "compressed request bodies (Content-Encoding: " +
                              quoted(request.get_header_value("Content-Encoding")) +
                              ") are not accepted: send the body uncompressed"};
    }
  }
  // The library would read a multipart form into fields of its own, which no route looks at.
  if (lowerTrimmed(request.get_header_value("Content-Type")).starts_with("multipart/form-data")) {
    return Refusal{415,
                   "the routes take JSON: send Content-Type: application/json (multipart form "
                   "bodies are not accepted)"};
  }
  // The library's own test: the type starts with the form's name, letter for letter.
  if (request.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded")) {
    const auto length = contentLength(request);
    if (length && *length > kMaxFormBytes) {
      return Refusal{415,
                     "the routes take JSON: send Content-Type: application/json (a "
                     "form-encoded body is limited to 8 KiB)"};
    }
  }
  return std::nullopt;
}

bool hasNoBody(const httplib::Request& request) {
  return !request.has_header("Content-Length") && !request.has_header("Transfer-Encoding");
}

}  // namespace QVRAdKit::Workbench::RequestScreen
