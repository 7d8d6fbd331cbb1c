// The workbench's HTTP API, through a real socket: a server on an ephemeral loopback port and
// httplib's client.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include <netdb.h>
#include <unistd.h>

#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Workbench/WorkbenchHttp.h"
#include "tools/SandboxTool.h"
#include "tools/ServeCommand.h"

namespace QVRAdKit::Workbench {
namespace {

using Testing::defaultText;
using Testing::textWithErrors;
using Testing::WorkbenchHttp;
using Json = nlohmann::json;

// What the server answers to bytes sent on a fresh connection, up to its first line; empty when
// it closes without an answer.
std::string rawExchange(int port, const std::string& bytes) {
  Testing::RawConnection connection(port);
  if (!connection.send(bytes, true)) return "";
  const std::string answer = connection.answer();
  return answer.substr(0, answer.find("\r\n"));
}

TEST(WorkbenchServer, ServesThePageWithItsTokenAndOnlyCompiledInAssets) {
  WorkbenchHttp http;
  auto page = http.get("/");
  ASSERT_TRUE(Testing::answeredWith(page, 200));
  EXPECT_NE(page->body.find(http.server->token()), std::string::npos);
  EXPECT_EQ(page->body.find("__WORKBENCH_TOKEN__"), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  auto script = http.get("/assets/workbench.js");
  ASSERT_TRUE(Testing::answeredWith(script, 200));
  EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");

  for (const char* path :
       {"/assets/../CMakeLists.txt", "/assets/..%2F..%2FCMakeLists.txt", "/assets/%2e%2e",
        "/assets/..", "/assets/", "/assets/nope.js", "/../../../etc/passwd",
        "/%2e%2e/%2e%2e/etc/passwd", "/assets/workbench.js/..", "/api/runs/x", "/api/nothing",
        "/assets/index.html"}) {
    SCOPED_TRACE(path);
    auto answer = http.get(path);
    ASSERT_TRUE(Testing::answeredWith(answer, 404));
    EXPECT_TRUE(WorkbenchHttp::json(answer).contains("error"));
  }
}

// Before any route reads its body: every POST needs the page's token, its own origin and a body
// within the limit.
TEST(WorkbenchServer, EveryPostRouteRefusesForeignAndOversizedRequests) {
  WorkbenchHttp http;
  struct Guard {
    const char* name;
    httplib::Headers headers;
    bool withToken;
    std::string body;
    int status;
    const char* errorStart;
  };
  const httplib::Headers none;
  const httplib::Headers wrongToken{{WorkbenchServer::kTokenHeader, "0"}};
  const httplib::Headers foreign{{"Origin", "http://evil.example"}};
  const std::vector<Guard> guards = {
      {"no token", none, false, "{}", 403, "missing or wrong"},
      {"wrong token", wrongToken, false, "{}", 403, "missing or wrong"},
      {"another origin", foreign, true, "{}", 403, "requests from another origin"},
      {"oversized", none, true, std::string(WorkbenchServer::kMaxBodyBytes + 1, ' '), 413,
       "the request body is larger"},
      // Read exactly, or refused: nothing after a NUL byte is ignored, no field is guessed at.
      {"a NUL byte", none, true, std::string("{}\0{\"sessions\": 9}", 17), 400,
       "the request body is not valid JSON: a NUL byte at line 1, column 3"},
      {"a field twice", none, true, R"({"seed": 1, "seed": 2})", 400, "seed: given more than once"},
      {"a field twice within", none, true, R"({"x": [{"y": 1, "y": 1}]})", 400,
       "x[0].y: given more than once"},
      {"an unknown field", none, true, R"({"premium": true})", 400, "unknown field \"premium\""},
      {"a number read as 0", none, true, R"({"x": [1e-400]})", 400,
       "x[0]: 1e-400 is too small to represent"},
  };
  for (const char* path :
       {"/api/check", "/api/runs", "/api/runs/1/cancel", "/api/comparisons",
        "/api/comparisons/1/cancel", "/api/sessions", "/api/sessions/snapshot"}) {
    for (const Guard& guard : guards) {
      SCOPED_TRACE(std::string(path) + ", " + guard.name);
      httplib::Headers headers = guard.headers;
      if (guard.withToken) headers.emplace(WorkbenchServer::kTokenHeader, http.server->token());
      auto answer = http.client->Post(path, headers, guard.body, "application/json");
      ASSERT_TRUE(Testing::answeredWith(answer, guard.status));
      const auto body = WorkbenchHttp::json(answer);
      ASSERT_TRUE(body.contains("error")) << answer->body;
      EXPECT_TRUE(body["error"].get<std::string>().starts_with(guard.errorStart)) << answer->body;
    }
  }
}

TEST(WorkbenchServer, RefusesBadRequestsWithClearErrorsAndKeepsServing) {
  WorkbenchHttp http;
  const std::string check = Json{{"configuration", "{}"}}.dump();
  const std::string token = http.server->token();
  const std::string origin = "http://127.0.0.1:" + std::to_string(http.server->port());
  struct Case {
    const char* name;
    std::string path;
    std::string body;
    httplib::Headers headers;
    bool withToken;
    int status;
  };
  const std::vector<Case> cases = {
      {"the page's origin", "/api/check", check, {{"Origin", origin}}, true, 200},
      {"malformed JSON", "/api/check", "{\"configuration\": ", {}, true, 400},
      {"not an object", "/api/check", "[1]", {}, true, 400},
      {"configuration not a string", "/api/check", R"({"configuration": 5})", {}, true, 400},
      {"unknown route", "/api/nothing", "{}", {}, true, 404},
      {"cancel of an unknown run", "/api/runs/99/cancel", "{}", {}, true, 404},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    httplib::Headers headers = c.headers;
    if (c.withToken) headers.emplace(WorkbenchServer::kTokenHeader, token);
    auto answer = http.client->Post(c.path.c_str(), headers, c.body, "application/json");
    ASSERT_TRUE(Testing::answeredWith(answer, c.status));
    const auto body = WorkbenchHttp::json(answer);
    EXPECT_EQ(body.contains("error"), c.status != 200) << answer->body;
  }
  // A page served under another name (DNS rebinding) is refused, GET included.
  EXPECT_TRUE(Testing::answeredWith(
      http.client->Get("/api/configuration", {{"Host", "attacker.example:80"}}), 403));

  // Many clients at once, each on its own connection: every one answered.
  std::vector<std::thread> clients;
  clients.reserve(16);
  std::atomic<int> answered{0};
  for (int index = 0; index < 16; ++index) {
    clients.emplace_back([&] {
      httplib::Client client("127.0.0.1", http.server->port());
      client.set_read_timeout(60);  // 16 checks at once under the sanitizers, on two cores
      auto answer = client.Post("/api/check", {{WorkbenchServer::kTokenHeader, token}},
                                Json{{"configuration", defaultText()}}.dump(), "application/json");
      if (answer && answer->status == 200) {
        ++answered;
      } else {
        ADD_FAILURE() << (answer ? "status " + std::to_string(answer->status)
                                 : "error " + httplib::to_string(answer.error()));
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(answered, 16);
  // Bytes that are not HTTP, and a request line beyond the library's bound: a 400 or a closed
  // connection, never a crash or a hang.
  const std::string junk[] = {std::string("\x00\x01\x02 not http\r\n\r\n", 16),
                              "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n",
                              "POST /api/check HTTP/1.1\r\nContent-Length: -5\r\n\r\n"};
  for (const auto& bytes : junk) {
    const std::string firstLine = rawExchange(http.server->port(), bytes);
    EXPECT_TRUE(firstLine.empty() || firstLine.starts_with("HTTP/1.1 4")) << firstLine;
  }
  auto still = http.get("/api/configuration");
  ASSERT_TRUE(Testing::answeredWith(still, 200));
  EXPECT_EQ(WorkbenchHttp::json(still)["text"], defaultText());
}

// A connection carries one request: a refused request's unread body, or a request pipelined after
// another, can never be answered as a request of its own. Answers are gzip, never the library's
// slow brotli; and a refusal too large to be sent whole keeps what it says.
TEST(WorkbenchServer, ConnectionsCarryOneRequestAndAnswersKeepTheirText) {
  WorkbenchHttp http;
  const std::string host = "Host: 127.0.0.1:" + std::to_string(http.server->port()) + "\r\n";
  const std::string body = R"({"configuration":"{}"})";
  const std::string refusedThenGet = "POST /api/check HTTP/1.1\r\n" + host +
                                     "Content-Type: application/json\r\n" +
                                     "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                     body + "GET /api/configuration HTTP/1.1\r\n" + host + "\r\n";
  Testing::RawConnection connection(http.server->port());
  ASSERT_TRUE(connection.send(refusedThenGet));
  const std::string refused = connection.answer();
  EXPECT_TRUE(refused.starts_with("HTTP/1.1 403 ")) << refused;
  EXPECT_NE(refused.find("Connection: close"), std::string::npos) << refused;
  EXPECT_EQ(connection.answer(), "") << "nothing more is answered on the connection";
  // A client that asks before sending its body is told no at once, from the head alone.
  const std::string token =
      std::string(WorkbenchServer::kTokenHeader) + ": " + http.server->token() + "\r\n";
  for (const auto& [head, firstLine] :
       {std::pair{std::string(), "HTTP/1.1 403 Forbidden"},
        {token + "Content-Length: 3000000\r\n", "HTTP/1.1 413 Payload Too Large"},
        {token + "Content-Length: 22\r\n", "HTTP/1.1 100 Continue"}}) {
    Testing::RawConnection asking(http.server->port());
    ASSERT_TRUE(asking.send("POST /api/check HTTP/1.1\r\n" + host +
                            "Content-Type: application/json\r\nExpect: 100-continue\r\n" +
                            (head.empty() ? "Content-Length: 22\r\n" : head) + "\r\n"));
    const std::string answer = asking.answer();
    EXPECT_EQ(answer.substr(0, answer.find("\r\n")), firstLine) << head;
  }

  for (const auto& [accepted, encoding] : {std::pair{"gzip, deflate, br", "gzip"}, {"br", ""}}) {
    auto answer = http.client->Get("/api/configuration", {{"Accept-Encoding", accepted}});
    ASSERT_TRUE(Testing::answeredWith(answer, 200));
    EXPECT_EQ(answer->get_header_value("Content-Encoding"), encoding) << accepted;
  }

  // A configuration with thousands of problems: its run's 422 is over a megabyte and is sent in
  // pieces, with the checker's verdict and not a generic "bad request".
  auto configuration = Json::parse(defaultText());
  auto& units = configuration["simulation"]["adMob"]["adUnits"];
  for (int unit = 0; unit < 3000; ++unit) {
    units["/unit/" + std::to_string(unit)] = Json{{"fillRate", 2}};
  }
  auto run = http.post("/api/runs", Json{{"configuration", configuration.dump()}, {"sessions", 1}});
  ASSERT_TRUE(Testing::answeredWith(run, 422));
  EXPECT_GT(run->body.size(), std::size_t{1} << 20);
  EXPECT_GE(WorkbenchHttp::json(run)["check"]["errors"].size(), 3000u);
}

TEST(WorkbenchServer, CheckListsTheCommandLinesProblemsWithTheirPlaces) {
  WorkbenchHttp http;
  auto clean = WorkbenchHttp::json(http.post("/api/check", Json{{"configuration", defaultText()}}));
  EXPECT_EQ(clean["runnable"], true);
  EXPECT_TRUE(clean["errors"].empty());

  const std::string text = textWithErrors();
  const auto verdict = WorkbenchHttp::json(http.post("/api/check", Json{{"configuration", text}}));
  const auto expected = Sandbox::SandboxConfigurationCheck::ofText(text);
  EXPECT_EQ(verdict["runnable"], false);
  ASSERT_EQ(verdict["errors"].size(), expected.errors.size());
  ASSERT_GE(expected.errors.size(), 2U);
  for (std::size_t index = 0; index < expected.errors.size(); ++index) {
    EXPECT_EQ(verdict["errors"][index]["text"], expected.errors[index]);
  }
  // Every problem points at the line of the text that holds it.
  const auto lineOf = [&text](const std::string& needle) {
    const auto at = static_cast<std::ptrdiff_t>(text.find(needle));
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
  };
  for (const auto& problem : verdict["errors"]) {
    SCOPED_TRACE(problem.dump());
    ASSERT_TRUE(problem["range"].is_object());
    const int line = problem["range"]["start"]["line"];
    const std::string place = problem["place"];
    if (place == "interstitial.connect.timeout") {
      EXPECT_EQ(line, lineOf("\"timeout\": -5"));
    } else if (place.starts_with("interstitial.disconnect.keys")) {
      EXPECT_EQ(line, lineOf("\"disconnect_primary\"]"));
    }
  }
  auto broken =
      WorkbenchHttp::json(http.post("/api/check", Json{{"configuration", "{\n  \"a\": ,"}}));
  ASSERT_EQ(broken["errors"].size(), 1U);
  EXPECT_EQ(broken["errors"][0]["range"]["start"]["line"], 2);
  // A NUL byte in the text, sent escaped: the text is refused at its place, not cut short there.
  auto cut = WorkbenchHttp::json(
      http.post("/api/check", Json{{"configuration", "{}\n" + std::string("\0 {{{", 5)}}));
  EXPECT_EQ(cut["runnable"], false);
  ASSERT_EQ(cut["errors"].size(), 1U);
  EXPECT_EQ(cut["errors"][0]["text"], "invalid JSON: a NUL byte at line 2, column 1");
  EXPECT_EQ(cut["errors"][0]["range"]["start"]["line"], 2);
}

TEST(WorkbenchServer, RunGivesTheCommandLinesReportByteForByte) {
  WorkbenchHttp http;
  auto started = http.post("/api/runs", Json{{"configuration", defaultText()},
                                             {"sessions", 12},
                                             {"seed", "7"},
                                             {"jobs", 2},
                                             {"minutes", 30}});
  ASSERT_TRUE(Testing::answeredWith(started, 202));
  const std::string id = WorkbenchHttp::json(started)["id"];
  const auto status = http.waitForEnd(id);
  ASSERT_EQ(status["state"], "done") << status.dump();
  EXPECT_EQ(status["done"], 12);
  EXPECT_EQ(status["report"]["sessions"], 12);
  EXPECT_EQ(status["latencyCdf"]["networks"]["admob"].size(), 100U);

  auto report = http.get("/api/runs/" + id + "/report.json");
  ASSERT_TRUE(report);
  std::ostringstream out;
  std::ostringstream err;
  const char* argv[] = {"qvr-sandbox", "--sessions", "12",        "--seed", "7",
                        "--jobs",      "2",          "--minutes", "30",     "--json"};
  ASSERT_EQ(Sandbox::SandboxTool::main(10, argv, out, err), 0) << err.str();
  EXPECT_EQ(report->body, out.str());
}

TEST(WorkbenchServer, RefusesRunsThatCannotRun) {
  WorkbenchHttp http;
  auto withErrors =
      http.post("/api/runs", Json{{"configuration", textWithErrors()}, {"sessions", 1}});
  ASSERT_TRUE(Testing::answeredWith(withErrors, 422));
  EXPECT_FALSE(WorkbenchHttp::json(withErrors)["check"]["errors"].empty());

  const Json base = {{"configuration", defaultText()}, {"sessions", 2}};
  const std::pair<const char*, Json> bad[] = {
      {"sessions", 0}, {"sessions", 100001}, {"sessions", "2"},
      {"seed", "-1"},  {"seed", -1},         {"seed", "18446744073709551615"},
      {"seed", "1x"},  {"jobs", 0},          {"jobs", 65},
      {"minutes", 0},  {"minutes", 10081},   {"minutes", "5"},
  };
  for (const auto& [field, value] : bad) {
    SCOPED_TRACE(std::string(field) + "=" + value.dump());
    http.expectRefused("/api/runs", Testing::with(base, field, value), 400, field);
  }
}

// Listening on every address, the server is reached by many names, yet a page may only be
// served under one no other site can rebind to this machine: an address written out, localhost
// or the machine's short or fully qualified name, with the server's port.
TEST(WorkbenchServer, OnEveryAddressOnlyNamesOfThisMachineAreServed) {
  auto options = WorkbenchHttp::defaults();
  options.listenAddress = "0.0.0.0";
  options.port = 0;
  WorkbenchServer server(std::move(options));
  ASSERT_EQ(server.start(), std::nullopt);
  httplib::Client client("127.0.0.1", server.port());
  const std::string port = ":" + std::to_string(server.port());
  std::array<char, 256> name{};
  ASSERT_EQ(gethostname(name.data(), name.size() - 1), 0);
  const std::string machine = name.data();
  // Its fully qualified name, as the resolver gives it (the short name where there is none).
  std::string qualified = machine;
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (getaddrinfo(machine.c_str(), nullptr, &hints, &found) == 0) {
    if (found->ai_canonname != nullptr) qualified = found->ai_canonname;
    freeaddrinfo(found);
  }
  std::transform(qualified.begin(), qualified.end(), qualified.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const std::pair<std::string, int> hosts[] = {
      {"127.0.0.1" + port, 200},
      {"192.0.2.7" + port, 200},
      {"[::1]" + port, 200},
      {"[2001:DB8::7]" + port, 200},
      {"LocalHost" + port, 200},
      {machine + port, 200},
      {qualified + port, 200},
      {"rebind.attacker.example" + port, 403},
      {machine + ".attacker.example" + port, 403},
      {"localhost." + port, 403},
      {"127.1" + port, 403},
      {"[::1" + port, 403},
      {"127.0.0.1", 403},
      {"127.0.0.1:1", 403},
      {"", 403},
  };
  for (const auto& [host, status] : hosts) {
    SCOPED_TRACE(host);
    auto page = client.Get("/", {{"Host", host}});
    ASSERT_TRUE(Testing::answeredWith(page, status));
    EXPECT_EQ(page->body.find(server.token()) != std::string::npos, status == 200);
  }
  // A rebound page that got no token still cannot post with one.
  EXPECT_TRUE(
      Testing::answeredWith(client.Post("/api/check",
                                        {{"Host", "rebind.attacker.example" + port},
                                         {"Origin", "http://rebind.attacker.example" + port},
                                         {WorkbenchServer::kTokenHeader, server.token()}},
                                        R"({"configuration":"{}"})", "application/json"),
                            403));
  server.stop();
}

// --listen [::1], the address as the server prints it: the brackets are taken off, and the server
// on the IPv6 loopback serves its page under the loopback names only.
TEST(WorkbenchServer, ListensOnTheIPv6LoopbackAsItsAddressIsPrinted) {
  const std::pair<const char*, std::optional<std::string>> written[] = {
      {"[::1]", "::1"},   {"::1", "::1"},        {"localhost", "127.0.0.1"},
      {"", std::nullopt}, {" \t", std::nullopt}, {"[0.0.0.0]", "0.0.0.0"},
  };
  for (const auto& [text, address] : written) {
    EXPECT_EQ(Tools::ServeCommand::listenAddress(text), address) << '"' << text << '"';
  }
  auto options = WorkbenchHttp::defaults();
  options.listenAddress = *Tools::ServeCommand::listenAddress("[::1]");
  options.port = 0;
  WorkbenchServer server(std::move(options));
  if (server.start()) GTEST_SKIP() << "this machine has no IPv6 loopback";
  httplib::Client client("::1", server.port());
  const std::string port = ":" + std::to_string(server.port());
  for (const auto& [host, status] :
       {std::pair{"[::1]" + port, 200}, {"localhost" + port, 200}, {"[::2]" + port, 403}}) {
    SCOPED_TRACE(host);
    auto page = client.Get("/", {{"Host", host}});
    ASSERT_TRUE(Testing::answeredWith(page, status));
  }
  server.stop();
}

TEST(WorkbenchServer, CancelStopsARunAndTheLimitOfRunsIsA429) {
  auto options = WorkbenchHttp::defaults();
  options.runs.maxActive = 1;
  WorkbenchHttp http(options);
  // A week per session, a hundred thousand sessions: hours of work unless cancelled.
  const Json longRun = {{"configuration", defaultText()}, {"sessions", 100000}, {"minutes", 10080}};
  auto first = http.post("/api/runs", longRun);
  ASSERT_TRUE(Testing::answeredWith(first, 202));
  const std::string id = WorkbenchHttp::json(first)["id"];

  auto second = http.post("/api/runs", longRun);
  ASSERT_TRUE(Testing::answeredWith(second, 429));
  EXPECT_TRUE(WorkbenchHttp::json(second).contains("error"));

  // Each kind is cancelled by its own route, which takes no fields.
  http.expectRefused("/api/comparisons/" + id + "/cancel", "{}", 404, "no comparison " + id);
  http.expectRefused("/api/runs/" + id + "/cancel", "[]", 400, "the request must be a JSON object");
  EXPECT_EQ(WorkbenchHttp::json(http.get("/api/runs/" + id))["state"], "running");
  EXPECT_TRUE(
      Testing::answeredWith(http.post("/api/runs/" + id + "/cancel", std::string("{}")), 200));
  const auto status = http.waitForEnd(id);
  EXPECT_EQ(status["state"], "cancelled");
  EXPECT_LT(status["report"]["sessions"].get<int>(), 100000);
  EXPECT_EQ(status["report"]["stopped"], true);

  // The slot is free again; the server's end cancels the new run.
  EXPECT_TRUE(Testing::answeredWith(http.post("/api/runs", longRun), 202));
}

}  // namespace
}  // namespace QVRAdKit::Workbench
