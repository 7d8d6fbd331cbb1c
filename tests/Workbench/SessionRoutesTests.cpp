// One session's picture and snapshots through a real socket, and the requests they refuse.

#include <gtest/gtest.h>

#include "Workbench/SessionJson.h"
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
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200) << answer->body;
  auto expected = SessionTrace::play(configuration, 5, 1800);
  ASSERT_TRUE(expected);
  EXPECT_EQ(WorkbenchHttp::json(answer), Json::parse(SessionJson::picture(*expected).dump()));
  EXPECT_EQ(WorkbenchHttp::json(answer)["duration"], 1800);

  // A seed as a number, and the largest seed there is.
  for (const Json& seed : {Json(5), Json("18446744073709551615")}) {
    auto other = http.post("/api/sessions",
                           Json{{"configuration", defaultText()}, {"seed", seed}, {"minutes", 5}});
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 200) << seed.dump();
    EXPECT_EQ(WorkbenchHttp::json(other)["seed"], seed.is_string() ? seed : Json("5"));
  }

  for (const double at : {0.0, 912.25, 1800.0}) {
    SCOPED_TRACE(at);
    auto snapshot = http.post(
        "/api/sessions/snapshot",
        Json{{"configuration", defaultText()}, {"seed", "5"}, {"minutes", 30}, {"at", at}});
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->status, 200) << snapshot->body;
    auto direct = SessionTrace::snapshotAt(configuration, 5, 1800, at);
    ASSERT_TRUE(direct);
    EXPECT_EQ(WorkbenchHttp::json(snapshot),
              Json::parse(SessionJson::snapshot(at, *direct).dump()));
  }
}

TEST(SessionRoutes, RefuseBadSeedsMomentsAndRequestsWithClearErrors) {
  WorkbenchHttp http;
  const Json base = {{"configuration", defaultText()}, {"seed", "3"}, {"minutes", 10}, {"at", 60}};
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
      {"no moment", "/api/sessions/snapshot", without("at"), 400, "at:"},
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

}  // namespace
}  // namespace QVRAdKit::Workbench
