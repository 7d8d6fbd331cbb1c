#pragma once
// RouteMethods registers the workbench's routes with the HTTP server and remembers which methods
// each path pattern answers, so that a request for an existing path with another method is told
// so (405 with an Allow header) rather than that the route does not exist.
// Example:
//   RouteMethods routes(server);
//   routes.post("/api/check", handler);
//   routes.allowed("/api/check");  // "POST"
// Threading: register before the server listens; allowed() may then be called from any thread.

#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace QVRAdKit::Workbench {

class RouteMethods {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit RouteMethods(httplib::Server& server) : server_(server) {}

  // A GET route (which answers HEAD too); pattern is a regular expression for the whole path.
  void get(const std::string& pattern, Handler handler);
  void post(const std::string& pattern, Handler handler);

  // The methods the routes matching path take ("GET, HEAD", "POST"); empty when none matches.
  [[nodiscard]] std::string allowed(const std::string& path) const;
  // True when a route matching path takes method (HEAD with GET).
  [[nodiscard]] bool takes(const std::string& path, const std::string& method) const;

 private:
  httplib::Server& server_;
  std::vector<std::pair<std::regex, std::string>> methods_;
};

}  // namespace QVRAdKit::Workbench
