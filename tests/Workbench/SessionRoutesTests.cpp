// One session's picture and snapshots through a real socket, and the requests they refuse.

#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Workbench/HttpReplies.h"
#include "Workbench/RouteMethods.h"
#include "Workbench/SessionJson.h"
#include "Workbench/SessionRoutes.h"
#include "Workbench/SessionTrace.h"
#include "Workbench/WorkbenchHttp.h"

namespace QVRAdKit::Workbench {
namespace {

using Testing::defaultText;
using Testing::WorkbenchHttp;
using Json = nlohmann::json;

TEST(SessionRoutes, DrawTheSessionOfTheSeedAndItsSnapshotAtAMoment) {
  WorkbenchHttp http;
  const auto configuration = Sandbox::SandboxConfiguration::defaults();
  auto answer = http.post("/api/sessions",
                          Json{{"configuration", defaultText()}, {"seed", "5"}, {"minutes", 30}});
  ASSERT_TRUE(Testing::answeredWith(answer, 200));
  auto expected = SessionTrace::play(configuration, 5, 1800);
  ASSERT_TRUE(expected);
  EXPECT_EQ(WorkbenchHttp::json(answer), Json::parse(SessionJson::picture(*expected).dump()));
  EXPECT_EQ(WorkbenchHttp::json(answer)["duration"], 1800);

  // A seed as a number, and the largest seed there is.
  for (const Json& seed : {Json(5), Json("18446744073709551615")}) {
    auto other = http.post("/api/sessions",
                           Json{{"configuration", defaultText()}, {"seed", seed}, {"minutes", 5}});
    ASSERT_TRUE(Testing::answeredWith(other, 200)) << seed.dump();
    EXPECT_EQ(WorkbenchHttp::json(other)["seed"], seed.is_string() ? seed : Json("5"));
  }

  // -0 is the start, and answered as 0.
  for (const double at : {-0.0, 0.0, 912.25, 1800.0}) {
    SCOPED_TRACE(at);
    auto snapshot = http.post(
        "/api/sessions/snapshot",
        Json{{"configuration", defaultText()}, {"seed", "5"}, {"minutes", 30}, {"at", at}});
    ASSERT_TRUE(Testing::answeredWith(snapshot, 200));
    auto direct = SessionTrace::snapshotAt(configuration, 5, 1800, at);
    ASSERT_TRUE(direct);
    EXPECT_EQ(WorkbenchHttp::json(snapshot),
              Json::parse(SessionJson::snapshot(at, *direct).dump()));
    EXPECT_FALSE(std::signbit(WorkbenchHttp::json(snapshot)["at"].get<double>()));
  }
  // A moment is shown to the millisecond, its clock from the same rounded moment.
  auto direct = SessionTrace::snapshotAt(configuration, 5, 1800, 1799.9999);
  ASSERT_TRUE(direct);
  const Json late = Json::parse(SessionJson::snapshot(1799.9999, *direct).dump());
  EXPECT_EQ(late["at"], 1800.0);
  EXPECT_EQ(late["clock"], "00:30:00");
}

TEST(SessionRoutes, RefuseBadSeedsMomentsAndRequestsWithClearErrors) {
  WorkbenchHttp http;
  // A picture's fields; a snapshot's add its moment.
  const Json base = {{"configuration", defaultText()}, {"seed", "3"}, {"minutes", 10}};
  const auto with = [&base](const char* field, Json value) {
    return Testing::with(base, field, std::move(value));
  };
  const auto without = [&base](const char* field) { return Testing::without(base, field); };
  struct Case {
    const char* name;
    const char* path;
    std::string body;
    int status;
    std::string errorStart;
  };
  const std::vector<Case> cases = {
      {"seed of letters", "/api/sessions", with("seed", "abc"), 400, "seed:"},
      {"negative seed", "/api/sessions", with("seed", -1), 400, "seed:"},
      {"negative seed text", "/api/sessions", with("seed", "-1"), 400, "seed:"},
      {"fractional seed", "/api/sessions", with("seed", 2.5), 400, "seed:"},
      {"seed beyond 64 bits", "/api/sessions", with("seed", "18446744073709551616"), 400, "seed:"},
      {"empty seed", "/api/sessions", with("seed", ""), 400, "seed:"},
      {"null seed", "/api/sessions", with("seed", nullptr), 400, "seed:"},
      {"no minutes", "/api/sessions", with("minutes", 0), 400, "minutes:"},
      {"sessions given", "/api/sessions", with("sessions", 3), 400, "sessions:"},
      {"no configuration", "/api/sessions", without("configuration"), 400, "configuration:"},
      {"configuration with errors", "/api/sessions",
       with("configuration", Testing::textWithErrors()), 422, "the configuration has errors"},
      {"malformed JSON", "/api/sessions", "{\"seed\": ", 400, "the request body is not valid JSON"},
      {"not an object", "/api/sessions/snapshot", "\"x\"", 400,
       "the request must be a JSON object"},
      {"no moment", "/api/sessions/snapshot", base.dump(), 400, "at:"},
      {"a moment for a picture", "/api/sessions", with("at", 60), 400,
       "unknown field \"at\" (expected configuration, seed or minutes)"},
      {"a misspelt field", "/api/sessions/snapshot", with("minute", 1), 400,
       "unknown field \"minute\" (expected configuration, seed, minutes or at)"},
      {"a field twice", "/api/sessions/snapshot", R"({"at": 1, "configuration": "{}", "at": 2})",
       400, "at: given more than once"},
      {"a NUL byte in the configuration", "/api/sessions",
       with("configuration", defaultText() + std::string("\0 more", 6)), 422,
       "the configuration has errors"},
      {"moment before the start", "/api/sessions/snapshot", with("at", -1), 400, "at:"},
      {"moment after the end", "/api/sessions/snapshot", with("at", 600.5), 400, "at:"},
      {"moment as text", "/api/sessions/snapshot", with("at", "60"), 400, "at:"},
      {"bad seed of a snapshot", "/api/sessions/snapshot", with("seed", "1e3"), 400, "seed:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    http.expectRefused(c.path, c.body, c.status, c.errorStart);
  }
  // A GET is no way to play a session.
  auto get = http.get("/api/sessions");
  ASSERT_TRUE(get);
  EXPECT_NE(get->status, 200);
}

TEST(SessionRoutes, SlotsAreCountedToTheirLimitAndFreedOnceEach) {
  SessionRoutes::Slots slots(2);
  auto first = slots.take();
  auto second = slots.take();
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_FALSE(slots.take());
  {
    // A hold moved elsewhere frees its slot once, when its last owner goes.
    SessionRoutes::Slots::Hold moved(std::move(*first));
    first.reset();
    EXPECT_FALSE(slots.take());
  }
  auto third = slots.take();
  ASSERT_TRUE(third);
  EXPECT_FALSE(slots.take());
  second.reset();
  third.reset();
  std::vector<SessionRoutes::Slots::Hold> all;
  while (auto hold = slots.take()) all.push_back(std::move(*hold));
  EXPECT_EQ(all.size(), 2U);
}

// The session routes alone on a loopback port, with slots the test holds: the server's guards
// are tested elsewhere.
class SessionRoutesWithSlots : public ::testing::Test {
 protected:
  SessionRoutesWithSlots() : routes_(server_) {
    SessionRoutes::install(routes_, slots);
    const int port = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", port);
    // A week's picture takes seconds under the sanitizers: past the library's 5 s default.
    client->set_read_timeout(300);
  }
  ~SessionRoutesWithSlots() override {
    // An answer, whatever it is, means the server is listening: stop() then ends it.
    (void)client->Get("/");
    server_.stop();
    thread_.join();
  }
  SessionRoutesWithSlots(const SessionRoutesWithSlots&) = delete;
  SessionRoutesWithSlots& operator=(const SessionRoutesWithSlots&) = delete;

  httplib::Result post(const char* path, const std::string& body) {
    return client->Post(path, body, "application/json");
  }

  SessionRoutes::Slots slots{2};
  std::unique_ptr<httplib::Client> client;

 private:
  httplib::Server server_;
  RouteMethods routes_;
  std::thread thread_;
};

TEST_F(SessionRoutesWithSlots, PicturesAndSnapshotsBeyondTheLimitAreRefusedUntilOneEnds) {
  const Json picture = {{"configuration", defaultText()}, {"seed", "4"}, {"minutes", 10}};
  const Json snapshot = Json::parse(Testing::with(picture, "at", 30));
  auto first = slots.take();
  auto second = slots.take();
  ASSERT_TRUE(first && second);
  for (const auto& [path, body] :
       {std::pair{"/api/sessions", picture}, std::pair{"/api/sessions/snapshot", snapshot}}) {
    SCOPED_TRACE(path);
    auto busy = post(path, body.dump());
    ASSERT_TRUE(Testing::answeredWith(busy, 429));
    EXPECT_EQ(Json::parse(busy->body)["error"],
              "already 2 sessions being played: ask again when one has answered");
    // A bad request is still told what is wrong with it, busy or not.
    EXPECT_TRUE(Testing::answeredWith(post(path, Testing::with(body, "seed", "x")), 400));
  }
  second.reset();
  auto answered = post("/api/sessions", picture.dump());
  ASSERT_TRUE(Testing::answeredWith(answered, 200));
  // The request gave its slot back when it answered: the one free slot is free again.
  auto again = slots.take();
  EXPECT_TRUE(again);
  EXPECT_FALSE(slots.take());
}

TEST_F(SessionRoutesWithSlots, ALongPictureIsSentUncompressedAShortOneCompressed) {
  // A browser accepts brotli, which costs minutes of a core for a picture of tens of megabytes.
  client->set_decompress(false);
  const httplib::Headers browser = {{"Accept-Encoding", "gzip, deflate, br"}};
  const auto ask = [&](int minutes) {
    return client->Post(
        "/api/sessions", browser,
        Json{{"configuration", defaultText()}, {"seed", "4"}, {"minutes", minutes}}.dump(),
        "application/json");
  };
  auto week = ask(10080);
  ASSERT_TRUE(Testing::answeredWith(week, 200));
  EXPECT_FALSE(week->has_header("Content-Encoding"));
  EXPECT_GT(week->body.size(), HttpReplies::kMaxCompressedBytes);
  EXPECT_EQ(Json::parse(week->body)["duration"], 604800);
  auto hour = ask(60);
  ASSERT_TRUE(Testing::answeredWith(hour, 200));
  EXPECT_TRUE(hour->has_header("Content-Encoding"));
}

// A large answer is handed out from its one copy as the client reads it, and what it was given to
// keep (a slot of the player) lives exactly as long as the answer.
TEST(SessionRoutes, ALargeAnswerKeepsWhatMadeItUntilItIsSent) {
  const std::string big(HttpReplies::kMaxCompressedBytes * 2 + 7, 'x');
  auto kept = std::make_shared<int>(1);
  const std::weak_ptr<int> watch = kept;
  std::string sent;
  {
    httplib::Response response;
    HttpReplies::send(response, 200, nlohmann::ordered_json{{"big", big}}, std::move(kept));
    EXPECT_FALSE(watch.expired()) << "released before the answer was sent";
    EXPECT_TRUE(response.body.empty()) << "copied into the body";
    httplib::DataSink sink;
    sink.write = [&sent](const char* data, std::size_t size) {
      sent.append(data, size);
      return true;
    };
    while (sent.size() < response.content_length_) {
      ASSERT_TRUE(
          response.content_provider_(sent.size(), response.content_length_ - sent.size(), sink));
    }
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_TRUE(watch.expired()) << "kept after the answer was gone";
  const std::string expected = nlohmann::ordered_json{{"big", big}}.dump() + "\n";
  EXPECT_EQ(sent, expected);
}

}  // namespace
}  // namespace QVRAdKit::Workbench
