#include "Workbench/LibraryRefusals.h"

#include <httplib.h>

#include <set>
#include <string>

#include "Workbench/RouteMethods.h"

namespace QVRAdKit::Workbench::LibraryRefusals {
namespace {

using RequestScreen::quoted;
using RequestScreen::Refusal;

bool isKnownMethod(const std::string& method) {
  static const std::set<std::string> known{"GET",     "HEAD",    "POST",  "PUT",   "DELETE",
                                           "CONNECT", "OPTIONS", "TRACE", "PATCH", "PRI"};
  return known.contains(method);
}

// Nonempty parts of text between '?'s, as the library splits a URL into path and query.
std::size_t questionParts(const std::string& text) {
  std::size_t parts = 0;
  bool inPart = false;
  for (const char c : text) {
    if (c == '?') {
      inPart = false;
    } else if (!inPart && c != ' ') {
      inPart = true;
      ++parts;
    }
  }
  return parts;
}

Refusal malformedLine() {
  return {400,
          "the request line is not METHOD TARGET HTTP/1.1, ending in CR LF (each line of the head "
          "ends in CR LF)"};
}

// The library failed to read the request line, or the header lines after it. It splits the line
// into method, target and version and checks each in that order, then sets the path as it splits
// the target at its '?'s, refusing a third part.
Refusal unreadHead(const httplib::Request& request) {
  if (!request.path.empty()) {
    if (questionParts(request.target) > 2) {
      return {400, "the URL has more than one '?': write a '?' within the query as %3F"};
    }
    return {431,
            "a header line is longer than 8 KiB (or the head ended before the blank line "
            "that closes it)"};
  }
  if (request.method.empty() || request.target.empty() || request.version.empty()) {
    return malformedLine();
  }
  if (!isKnownMethod(request.method)) {
    return {501, quoted(request.method) +
                     " is not a method this server implements: its routes take GET, HEAD and "
                     "POST"};
  }
  if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") {
    return {505, quoted(request.version) + " is not supported: send HTTP/1.1"};
  }
  return malformedLine();
}

std::string megabytes(std::size_t bytes) {
  return std::to_string(bytes >> 20) + " MiB";
}

}  // namespace

Refusal describe(const httplib::Request& request, int status, const RouteMethods& routes,
                 std::size_t maxBodyBytes) {
  // The library adds the peer's address once it has read the whole head.
  const bool headRead = request.has_header("REMOTE_ADDR");
  switch (status) {
    case 413: {
      const std::string length = request.get_header_value("Content-Length");
      return {413, "the request body is larger than the " + megabytes(maxBodyBytes) + " limit" +
                       (length.empty() ? "" : " (" + quoted(length) + " bytes)")};
    }
    case 414:
      return {414, "the URL is longer than 8 KiB"};
    case 416:
      return {416, "the Range header (" + quoted(request.get_header_value("Range")) +
                       ") is not one this server reads: leave it out, answers are sent whole"};
    default:
      break;
  }
  if (status != 400 && status != 404) return {status, "the request cannot be answered"};
  if (!headRead) return unreadHead(request);
  // The library answers 404 when no route has the path for the method, and 400 for a method it
  // routes nowhere (TRACE, CONNECT) or a body it could not read whole.
  if (!routes.takes(request.path, request.method)) {
    if (const std::string allowed = routes.allowed(request.path); !allowed.empty()) {
      return {405, request.path + " takes " + allowed + ", not " + request.method};
    }
    return {404, "no route answers " + quoted(request.method) + " " + quoted(request.path) +
                     " (the workbench's page is at /)"};
  }
  if (status == 404)
    return {404, "no route answers " + request.method + " " + quoted(request.path)};
  const std::string length = request.get_header_value("Content-Length");
  return {400, "the request body ended after " + std::to_string(request.body.size()) + " of the " +
                   quoted(length) + " bytes its Content-Length gives"};
}

}  // namespace QVRAdKit::Workbench::LibraryRefusals
