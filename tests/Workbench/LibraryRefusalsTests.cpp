// What the server answers to requests the HTTP library refuses before (or instead of) any route,
// and to bodies and queries of every shape: always the workbench's JSON error, never a crash or
// a hang; through a real socket.

#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <vector>

#include "Workbench/LibraryRefusals.h"
#include "Workbench/RouteMethods.h"
#include "Workbench/WorkbenchHttp.h"

namespace QVRAdKit::Workbench {
namespace {

using Testing::errorOf;
using Testing::RawConnection;
using Testing::requestStart;
using Testing::statusOf;
using Testing::WorkbenchHttp;

bool isJson(const std::string& answer) {
  return answer.find("\r\nContent-Type: application/json\r\n") != std::string::npos;
}

// The answer's body parsed; discarded (not an object) when it is not whole JSON.
nlohmann::json bodyOf(const std::string& answer) {
  const auto at = answer.find("\r\n\r\n");
  return at == std::string::npos ? nlohmann::json()
                                 : nlohmann::json::parse(answer.substr(at + 4), nullptr, false);
}

TEST(LibraryRefusals, EveryRequestTheLibraryCannotTakeIsAnsweredInJsonWithWhatWasWrong) {
  WorkbenchHttp http;
  const auto get = [&http](const std::string& target, const std::string& headers = "") {
    return requestStart(http, "GET", target) + headers + "\r\n";
  };
  const std::string host = "Host: 127.0.0.1:" + std::to_string(http.server->port()) + "\r\n";
  const std::string overLimit(WorkbenchServer::kMaxBodyBytes + 1, ' ');
  struct Case {
    const char* name;
    std::string bytes;
    const char* status;
    const char* errorStart;  // empty: an answer with no error, its JSON whole
  };
  const std::vector<Case> cases = {
      {"one word", "HELLO\r\n\r\n", "400", "the request line is not METHOD TARGET HTTP/1.1"},
      {"lines ending in a bare LF", "GET /api/configuration HTTP/1.1\n" + host + "\n", "400",
       "the request line is not METHOD TARGET HTTP/1.1"},
      {"four parts", "GET /api/configuration HTTP/1.1 more\r\n" + host + "\r\n", "400",
       "the request line is not METHOD TARGET HTTP/1.1"},
      {"an unknown method", "BREW /api/configuration HTTP/1.1\r\n" + host + "\r\n", "501",
       "BREW is not a method this server implements"},
      {"another version", "GET /api/configuration HTTP/2.0\r\n" + host + "\r\n", "505",
       "HTTP/2.0 is not supported: send HTTP/1.1"},
      {"a second ? in the URL", get("/api/banner.svg?title=why?&width=300"), "400",
       "the URL has more than one '?'"},
      {"a header line at 8 KiB",
       get("/api/configuration", "X-Long: " + std::string(8182, 'v') + "\r\n"), "200", ""},
      {"a header line over 8 KiB",
       get("/api/configuration", "X-Long: " + std::string(8183, 'v') + "\r\n"), "431",
       "a header line is longer than 8 KiB"},
      {"a body over the limit",
       requestStart(http, "POST", "/api/check") +
           "Content-Length: " + std::to_string(overLimit.size()) + "\r\n\r\n" + overLimit,
       "413", "the request body is larger than the 2 MiB limit (2097153 bytes)"},
      {"an unknown path", get("/api/nothing"), "404", "no route answers GET /api/nothing"},
      {"a method routed nowhere, unknown path", requestStart(http, "TRACE", "/nothing") + "\r\n",
       "404", "no route answers TRACE /nothing"},
      {"a method routed nowhere, known path", requestStart(http, "CONNECT", "/api/check") + "\r\n",
       "405", "/api/check takes POST, not CONNECT"},
      {"a bad percent-encoding in the path", get("/api/config%zzuration"), "400",
       "the URL has a bad percent-encoding (%zz at character 12)"},
      {"a cut percent-encoding in the query", get("/api/banner.svg?title=100%"), "400",
       "the URL has a bad percent-encoding (% at character 26)"},
      {"the library's own %u", get("/api/banner.svg?title=%u0041"), "400",
       "the URL has a bad percent-encoding (%u0 at character 23)"},
      {"a good percent-encoding", get("/api/configuratio%6E?x=%41%2b"), "200", ""},
      {"an unreadable range", get("/api/configuration", "Range: bytes=x-y\r\n"), "416",
       "the Range header (bytes=x-y) is not one this server reads"},
      // Answers are sent whole: a range the library would cut a JSON answer to is ignored.
      {"a range", get("/api/configuration", "Range: bytes=0-3\r\n"), "200", ""},
      {"a range of an error", get("/api/nothing", "Range: bytes=0-3\r\n"), "404", "no route"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawConnection connection(http.server->port());
    ASSERT_TRUE(connection.send(c.bytes));
    const std::string answer = connection.answer();
    EXPECT_EQ(statusOf(answer), c.status) << answer.substr(0, 400);
    EXPECT_TRUE(isJson(answer)) << answer.substr(0, 400);
    EXPECT_TRUE(bodyOf(answer).is_object()) << answer.substr(0, 400);
    EXPECT_EQ(errorOf(answer).empty(), std::string(c.errorStart).empty()) << answer.substr(0, 400);
    EXPECT_TRUE(errorOf(answer).starts_with(c.errorStart)) << answer.substr(0, 400);
  }
}

// A body the library stopped reading before its end (the client's connection ended or went
// quiet), which no client is left to read the answer to over a socket.
TEST(LibraryRefusals, ABodyCutShortSaysHowMuchCame) {
  httplib::Server server;
  RouteMethods routes(server);
  routes.post("/api/check", [](const httplib::Request&, httplib::Response&) {});
  struct Case {
    const char* method;
    const char* length;
    std::string body;
    int status;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"POST", "10", "abc", 400,
       "the request body ended after 3 of the 10 bytes its Content-Length gives"},
      {"POST", "10", "", 400,
       "the request body ended after 0 of the 10 bytes its Content-Length gives"},
      // Not a body cut short: the library routes no PUT anywhere.
      {"PUT", "10", "abc", 405, "/api/check takes POST, not PUT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    httplib::Request request;
    request.method = c.method;
    request.target = request.path = "/api/check";
    request.version = "HTTP/1.1";
    request.set_header("REMOTE_ADDR", "127.0.0.1");
    request.set_header("Content-Length", c.length);
    request.body = c.body;
    const auto refusal =
        LibraryRefusals::describe(request, 400, routes, WorkbenchServer::kMaxBodyBytes);
    EXPECT_EQ(refusal.status, c.status);
    EXPECT_EQ(refusal.message, c.message);
  }
}

// Every POST route, with every body that is not what it reads: a 4xx with an error (or, where
// the shape happens to be one it takes, an answer), never a 500, a crash or a hang.
TEST(LibraryRefusals, BodiesOfEveryShapeOnEveryPostRouteAreAnswered) {
  WorkbenchHttp http;
  std::vector<std::string> bodies = {"", "null", "[]", "5", "\"text\"", "true", "{}", "{\"\":1}"};
  const std::vector<std::string> values = {
      "null", "[]",  "{}", "-1", "1e300", "\"x\"", "true", "[[{}]]", "18446744073709551616",
      "-0.5", "\"\""};
  for (const char* field : {"configuration", "sessions", "seed", "jobs", "minutes", "a", "b", "at",
                            "shards", "name", "text"}) {
    for (const auto& value : values) {
      bodies.push_back("{\"" + std::string(field) + "\":" + value + "}");
      // An invalid configuration beside it: nothing starts running, whatever the field takes.
      bodies.push_back(R"({"configuration":"[]","a":"[]","b":"[]",")" + std::string(field) +
                       "\":" + value + "}");
    }
  }
  for (const char* path :
       {"/api/check", "/api/runs", "/api/runs/1/cancel", "/api/comparisons",
        "/api/comparisons/1/cancel", "/api/sessions", "/api/sessions/snapshot", "/api/shards"}) {
    for (const auto& body : bodies) {
      SCOPED_TRACE(std::string(path) + " " + body);
      RawConnection connection(http.server->port());
      ASSERT_TRUE(connection.send(requestStart(http, "POST", path) +
                                  "Content-Type: application/json\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\n\r\n" + body));
      const std::string answer = connection.answer();
      const std::string status = statusOf(answer);
      ASSERT_TRUE(status.starts_with("2") || status.starts_with("4")) << answer.substr(0, 400);
      EXPECT_TRUE(isJson(answer)) << answer.substr(0, 400);
      EXPECT_EQ(status.starts_with("4"), !errorOf(answer).empty()) << answer.substr(0, 400);
    }
  }
}

// A client that sends half a request and stops holds one connection, not the server; queries
// of thousands of parameters are read and answered. The server's wait for a client is made
// longer than the test's, so a server held by the half requests would fail it; its stop ends
// them.
TEST(LibraryRefusals, HalfRequestsAndFloodsOfParametersLeaveTheServerServing) {
  auto options = WorkbenchHttp::defaults();
  options.readTimeoutSeconds = 3600;
  WorkbenchHttp http(options);
  RawConnection halfHead(http.server->port());
  ASSERT_TRUE(halfHead.send(requestStart(http, "GET", "/api/configuration") + "X-Half: "));
  RawConnection halfBody(http.server->port());
  ASSERT_TRUE(halfBody.send(requestStart(http, "POST", "/api/check") +
                            "Content-Length: 100\r\n\r\n{\"configuration\":"));
  std::string repeated;
  std::string distinct;
  for (int index = 0; index < 700; ++index) {
    // Each value another: the library keeps a name and value given twice as one.
    repeated += "width=" + std::to_string(200 + index) + "&";
    distinct += 'p';  // appended: g++ 12 at -O3 warns falsely of "p" + string
    distinct += std::to_string(index) + "=&";
  }
  struct Case {
    std::string target;
    const char* status;
    const char* errorStart;
  };
  const std::vector<Case> cases = {
      {"/api/banner.svg?" + repeated, "400", "width: given more than once"},
      {"/api/banner.svg?" + distinct, "400", "p0: unknown parameter"},
      {"/api/configuration?" + distinct, "200", ""},
      {"/api/runs/1?" + repeated, "404", "no run 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.substr(0, 40));
    RawConnection connection(http.server->port());
    ASSERT_TRUE(connection.send(requestStart(http, "GET", c.target) + "\r\n"));
    const std::string answer = connection.answer();
    EXPECT_EQ(statusOf(answer), c.status) << answer.substr(0, 400);
    EXPECT_TRUE(errorOf(answer).starts_with(c.errorStart)) << answer.substr(0, 400);
  }
}

}  // namespace
}  // namespace QVRAdKit::Workbench
