#pragma once
// LibraryRefusals says, for a request the HTTP library refused itself (before or instead of any
// route), what was wrong with it and the status that fits, so that the answer tells a person what
// to change rather than a bare "bad request". The library leaves only the parts of the request it
// read and its own status:
//   - 400 before the head was read: the request line (METHOD TARGET HTTP/1.1, ending in CR LF) is
//     malformed, its method unknown (501), its version not HTTP/1.x (505), its URL has a second
//     '?'; or, the line read, a header line is over the library's 8 KiB (431);
//   - 400 or 404 once the head was read: no route takes the method (405 with the methods the path
//     takes, or 404 when no route has the path), or the body ended before its Content-Length;
//   - 413: the body is over the limit; 414: the URL is over 8 KiB; 416: a Range it cannot read.
// Example: describe(request, 400, routes, limit) -> {505, "HTTP/2.0 is not supported: send
// HTTP/1.1"} Threading: a pure function of its arguments.

#include <cstddef>

#include "Workbench/RequestScreen.h"

namespace httplib {
struct Request;
}

namespace QVRAdKit::Workbench {
class RouteMethods;
}

namespace QVRAdKit::Workbench::LibraryRefusals {

// status is the library's; the answer's status may differ (405, 431, 501, 505). maxBodyBytes is
// the limit the server gave the library, named in a 413's message.
[[nodiscard]] RequestScreen::Refusal describe(const httplib::Request& request, int status,
                                              const RouteMethods& routes, std::size_t maxBodyBytes);

}  // namespace QVRAdKit::Workbench::LibraryRefusals
