// What the workbench's server refuses from a request's head, before reading its body, and how it
// answers requests HTTP allows but its routes do not take; through a real socket.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "Workbench/HttpReplies.h"
#include "Workbench/RequestScreen.h"
#include "Workbench/WorkbenchHttp.h"

namespace QVRAdKit::Workbench {
namespace {

using Testing::errorOf;
using Testing::RawConnection;
using Testing::requestStart;
using Testing::statusOf;
using Testing::WorkbenchHttp;

std::string headerLines(std::size_t count, std::size_t valueSize = 1) {
  std::string lines;
  for (std::size_t index = 0; index < count; ++index) {
    lines += "X-" + std::to_string(index) + ": " + std::string(valueSize, 'v') + "\r\n";
  }
  return lines;
}

std::string withLength(const std::string& type, const std::string& body) {
  return type + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Each refused from the head alone, the body that follows (or would) never read however it would
// unpack or however long it would run; the bounds themselves are accepted.
TEST(RequestScreen, RefusesBodiesOfUnknownOrUnboundedSizeAndHeaderFloodsFromTheHead) {
  WorkbenchHttp http;
  const std::string check = R"({"configuration":"{}"})";
  const std::string json = "Content-Type: application/json\r\n";
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  // The check's body padded with spaces to exactly size bytes.
  const auto padded = [&check](std::size_t size) {
    return check + std::string(size - check.size(), ' ');
  };
  struct Case {
    const char* name;
    std::string method;
    std::string path;
    std::string rest;  // header lines after the token, the blank line, the body
    const char* status;
    const char* errorStart;
  };
  // Host and token are two of the request's header lines.
  const std::size_t lines = RequestScreen::kMaxHeaderLines - 2;
  const std::vector<Case> cases = {
      {"gzip", "POST", "/api/check", withLength(json + "Content-Encoding: gzip\r\n", check), "415",
       "compressed request bodies (Content-Encoding: gzip)"},
      {"deflate, any case", "POST", "/api/check",
       withLength(json + "content-encoding: DEFLATE\r\n", check), "415", "compressed request"},
      {"identity", "POST", "/api/check", withLength(json + "Content-Encoding: identity\r\n", check),
       "200", ""},
      {"chunked", "POST", "/api/check",
       json + "Transfer-Encoding: chunked\r\n\r\n16\r\n" + check + "\r\n0\r\n\r\n", "411",
       "send a Content-Length"},
      {"chunked and compressed", "POST", "/api/check",
       "Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n0\r\n\r\n", "411",
       "send a Content-Length"},
      {"form-typed at the library's bound", "POST", "/api/check",
       withLength(form, padded(RequestScreen::kMaxFormBytes)), "200", ""},
      {"form-typed a byte over", "POST", "/api/check",
       withLength(form, padded(RequestScreen::kMaxFormBytes + 1)), "415",
       "the routes take JSON: send Content-Type: application/json"},
      // Headers given twice: the same value twice is one value; values that disagree are refused,
      // whichever comes first, and the bytes a second length would claim are never read.
      {"the same length twice", "POST", "/api/check",
       json + "Content-Length: " + std::to_string(check.size()) + "\r\n" + withLength("", check),
       "200", ""},
      {"two lengths", "POST", "/api/check", json + "Content-Length: 5\r\n" + withLength("", check),
       "400", "the request has several Content-Length headers that disagree"},
      {"another host after ours", "GET", "/api/configuration", "Host: evil.example\r\n\r\n", "400",
       "the request has several Host headers that disagree"},
      {"two origins", "POST", "/api/check",
       "Origin: http://127.0.0.1:" + std::to_string(http.server->port()) +
           "\r\nOrigin: http://evil.example\r\n" + withLength(json, check),
       "400", "the request has several Origin headers that disagree"},
      {"a wrong token after the right one", "POST", "/api/check",
       std::string(WorkbenchServer::kTokenHeader) + ": 0\r\n" + withLength(json, check), "400",
       "the request has several X-Workbench-Token headers that disagree"},
      {"a negative length", "POST", "/api/check", json + "Content-Length: -1\r\n\r\n" + check,
       "400", "the Content-Length header (-1) is not a whole number of bytes"},
      {"a length beyond 64 bits", "POST", "/api/check",
       json + "Content-Length: 18446744073709551616\r\n\r\n", "400",
       "the Content-Length header (18446744073709551616) is not"},
      {"a length in words", "POST", "/api/check", json + "Content-Length: abc\r\n\r\n", "400",
       "the Content-Length header (abc) is not"},
      {"header lines at the bound", "GET", "/api/configuration", headerLines(lines) + "\r\n", "200",
       ""},
      {"a header line more", "GET", "/api/configuration", headerLines(lines + 1) + "\r\n", "431",
       "the request has more than"},
      {"header bytes over", "GET", "/api/configuration", headerLines(9, 8000) + "\r\n", "431",
       "the request has more than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawConnection connection(http.server->port());
    ASSERT_TRUE(connection.send(requestStart(http, c.method, c.path) + c.rest));
    const std::string answer = connection.answer();
    EXPECT_EQ(statusOf(answer), c.status) << answer;
    EXPECT_TRUE(errorOf(answer).starts_with(c.errorStart)) << answer;
  }
}

// Nesting is refused as the parser reaches it, not after the whole body is built.
TEST(RequestScreen, RefusesBodiesNestedDeeperThanTheBound) {
  WorkbenchHttp http;
  const auto nested = [](std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
  };
  const std::size_t bound = HttpReplies::kMaxBodyDepth;
  const std::pair<std::string, const char*> bodies[] = {
      {nested(bound), "configuration: must be"},
      {nested(bound + 1), "the request body is nested more than 64 levels"},
      {std::string(WorkbenchServer::kMaxBodyBytes, '['), "the request body is nested"},
      {"{\"a\":" + nested(bound), "the request body is nested"},
  };
  for (const auto& [body, errorStart] : bodies) {
    SCOPED_TRACE(body.substr(0, 8) + "... " + std::to_string(body.size()) + " bytes");
    http.expectRefused("/api/check", body, 400, errorStart);
  }
}

TEST(RequestScreen, TellsTheMethodsAPathTakesAndTheLimitAnUrlPassed) {
  WorkbenchHttp http;
  struct Case {
    const char* method;
    const char* path;
    int status;
    const char* allow;
  };
  const std::vector<Case> cases = {
      {"GET", "/api/check", 405, "POST"},
      {"GET", "/api/runs/1/cancel", 405, "POST"},
      {"POST", "/api/configuration", 405, "GET, HEAD"},
      {"PUT", "/api/runs/1", 405, "GET, HEAD"},
      {"DELETE", "/api/sessions", 405, "POST"},
      {"PATCH", "/api/comparisons/3/cancel", 405, "POST"},
      {"GET", "/api/comparisons", 405, "POST"},
      {"GET", "/api/nothing", 404, ""},
      {"POST", "/api/runs/x/cancel", 404, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path);
    RawConnection connection(http.server->port());
    ASSERT_TRUE(
        connection.send(requestStart(http, c.method, c.path) + "Content-Length: 0\r\n\r\n"));
    const std::string answer = connection.answer();
    EXPECT_EQ(statusOf(answer), std::to_string(c.status)) << answer;
    const bool allows =
        answer.find("\r\nAllow: " + std::string(c.allow) + "\r\n") != std::string::npos;
    EXPECT_EQ(allows, c.status == 405) << answer;
    if (c.status == 405) {
      EXPECT_EQ(errorOf(answer), std::string(c.path) + " takes " + c.allow + ", not " + c.method);
    }
  }
  // A body the library could not read (multipart without its boundary): refused from the head
  // for its type, for a route that takes the method, not as a wrong method.
  RawConnection unreadable(http.server->port());
  ASSERT_TRUE(unreadable.send(requestStart(http, "POST", "/api/check") +
                              "Content-Type: multipart/form-data\r\nContent-Length: 2\r\n\r\n{}"));
  const std::string answer = unreadable.answer();
  EXPECT_EQ(statusOf(answer), "415") << answer;
  EXPECT_TRUE(errorOf(answer).starts_with("the routes take JSON")) << answer;

  auto longUrl = http.get("/api/configuration?x=" + std::string(9000, 'a'));
  ASSERT_TRUE(Testing::answeredWith(longUrl, 414));
  EXPECT_EQ(WorkbenchHttp::json(longUrl)["error"], "the URL is longer than 8 KiB");
}

TEST(RequestScreen, HostAndOriginAreComparedWithoutLetterCase) {
  WorkbenchHttp http;
  const std::string port = std::to_string(http.server->port());
  EXPECT_TRUE(Testing::answeredWith(
      http.client->Get("/api/configuration", {{"Host", "LOCALHOST:" + port}}), 200));
  EXPECT_TRUE(Testing::answeredWith(
      http.post("/api/check", std::string(R"({"configuration":"{}"})"),
                {{"Host", "Localhost:" + port}, {"Origin", "http://localHOST:" + port}}),
      200));
  EXPECT_TRUE(Testing::answeredWith(
      http.client->Get("/api/configuration", {{"Host", "LOCALHOST.example:" + port}}), 403));
}

// A POST with neither Content-Length nor Transfer-Encoding has an empty body: answered at once,
// not after the server waits for the connection's end. The server's wait for a client is made
// longer than the test's, so waiting would fail it.
TEST(RequestScreen, APostWithoutLengthHasAnEmptyBody) {
  auto options = WorkbenchHttp::defaults();
  options.readTimeoutSeconds = 3600;
  WorkbenchHttp http(options);
  const std::pair<const char*, const char*> posts[] = {
      {"/api/runs/7/cancel", "no run 7"},
      {"/api/comparisons/7/cancel", "no comparison 7"},
      {"/api/check", "the request body is not valid JSON"},
  };
  for (const auto& [path, error] : posts) {
    SCOPED_TRACE(path);
    RawConnection connection(http.server->port());
    ASSERT_TRUE(connection.send(requestStart(http, "POST", path) + "\r\n"));
    const std::string answer = connection.answer();
    EXPECT_EQ(statusOf(answer), std::string(path).ends_with("cancel") ? "404" : "400") << answer;
    EXPECT_TRUE(errorOf(answer).starts_with(error)) << answer;
  }
}

// The stop ends connections whose clients are still sending: it does not wait for them.
TEST(RequestScreen, StopDoesNotWaitForAClientStillSending) {
  auto options = WorkbenchHttp::defaults();
  options.readTimeoutSeconds = 3600;
  WorkbenchHttp http(options);
  // Declared first, so that were the stop to wait, the connection's end would release it.
  std::future<void> stopping;
  RawConnection connection(http.server->port());
  // One whole request first: its answer shows a server thread serves this connection.
  ASSERT_TRUE(connection.send(requestStart(http, "GET", "/api/configuration") + "\r\n"));
  ASSERT_EQ(statusOf(connection.answer()), "200");
  ASSERT_TRUE(connection.send(requestStart(http, "GET", "/api/configuration") + "X-Half: "));
  stopping = std::async(std::launch::async, [&http] { http.server->stop(); });
  ASSERT_EQ(stopping.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_TRUE(connection.ended());
}

}  // namespace
}  // namespace QVRAdKit::Workbench
