// The workbench's comparisons through a real socket: the same numbers as the command line's
// --compare for the same seeds, the verdicts and downloads, and the requests it refuses.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "Sandbox/Text/Format.h"
#include "Support/TemporaryDirectory.h"
#include "Workbench/WorkbenchHttp.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Workbench {
namespace {

namespace fs = std::filesystem;
using Testing::defaultText;
using Testing::WorkbenchHttp;
using Json = nlohmann::json;

// The default configuration with its best-paying connect key filling far more often.
std::string fillsMore() {
  std::string text = defaultText();
  const std::string from = "\"fillRate\": 0.35";
  text.replace(text.find(from), from.size(), "\"fillRate\": 0.9");
  return text;
}

TEST(ComparisonRoutes, GiveTheCommandLinesComparisonForTheSameSeedsByteForByte) {
  WorkbenchHttp http;
  const std::string a = defaultText();
  const std::string b = fillsMore();
  auto started = http.post(
      "/api/comparisons",
      Json{{"a", a}, {"b", b}, {"sessions", 40}, {"seed", "9"}, {"jobs", 2}, {"minutes", 30}});
  ASSERT_TRUE(Testing::answeredWith(started, 202));
  const std::string id = WorkbenchHttp::json(started)["id"];
  ASSERT_EQ(http.waitForEnd(id, "/api/comparisons/")["state"], "done");
  const auto status = WorkbenchHttp::json(http.get("/api/comparisons/" + id));
  ASSERT_EQ(status["state"], "done") << status.dump();
  EXPECT_EQ(status["done"], 40);
  EXPECT_EQ(status["comparison"]["sessions"], 40);

  const QVRAdKit::Testing::TemporaryDirectory folder("qvr-compare-");
  const std::string fileA = folder.write("a.json", a);
  const std::string fileB = folder.write("b.json", b);
  std::ostringstream out;
  std::ostringstream err;
  const char* argv[] = {"qvr-sandbox", "--config",   fileA.c_str(), "--compare",
                        fileB.c_str(), "--sessions", "40",          "--seed",
                        "9",           "--minutes",  "30",          "--json"};
  ASSERT_EQ(Sandbox::SandboxTool::main(12, argv, out, err), 0) << err.str();
  auto download = http.get("/api/comparisons/" + id + "/comparison.json");
  ASSERT_TRUE(Testing::answeredWith(download, 200));
  EXPECT_EQ(download->body, out.str());
  EXPECT_NE(download->get_header_value("Content-Disposition").find("attachment"),
            std::string::npos);
  EXPECT_EQ(Json::parse(download->body), status["comparison"]);

  // Each verdict carries its numbers with the text table's digits (from full precision, not the
  // JSON's four decimals), so a page shows what the command line shows.
  std::ostringstream table;
  const char* textArgv[] = {"qvr-sandbox", "--config",   fileA.c_str(), "--compare",
                            fileB.c_str(), "--sessions", "40",          "--seed",
                            "9",           "--minutes",  "30"};
  ASSERT_EQ(Sandbox::SandboxTool::main(11, textArgv, table, err), 0) << err.str();
  for (const auto& verdict : status["verdicts"]) {
    if (verdict["difference"].is_null()) continue;
    // The table signs a zero ("+0.0"); the verdicts leave it bare.
    std::string change = verdict["difference"];
    if (change.starts_with("0.")) change.insert(0, "+");
    EXPECT_NE(table.str().find(
                  Sandbox::Text::format(" %9s %9s %11s ", verdict["a"].get<std::string>().c_str(),
                                        verdict["b"].get<std::string>().c_str(), change.c_str())),
              std::string::npos)
        << verdict.dump();
  }

  // The connect placement fills more often under B, and the verdict says so in words.
  bool connectHigher = false;
  for (const auto& verdict : status["verdicts"]) {
    if (verdict["row"] == "interstitial.connect" && verdict["measure"] == "fillRate") {
      EXPECT_EQ(verdict["direction"], "higher") << verdict.dump();
      EXPECT_TRUE(
          verdict["text"].get<std::string>().starts_with("interstitial.connect fill rate +"))
          << verdict.dump();
      connectHigher = true;
    }
  }
  EXPECT_TRUE(connectHigher);

  auto csv = http.get("/api/comparisons/" + id + "/comparison.csv");
  ASSERT_TRUE(Testing::answeredWith(csv, 200));
  EXPECT_TRUE(csv->get_header_value("Content-Type").starts_with("text/csv"));
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv->body.begin(), csv->body.end(), '\n')),
            status["verdicts"].size() + 1);
}

TEST(ComparisonRoutes, RefuseWhatCannotCompareWithClearErrors) {
  WorkbenchHttp http;
  const Json base = {{"a", defaultText()}, {"b", fillsMore()}, {"sessions", 2}};
  struct Case {
    const char* name;
    std::string body;
    int status;
    std::string errorStart;
  };
  const auto with = [&base](const char* field, Json value) {
    return Testing::with(base, field, std::move(value));
  };
  const auto without = [&base](const char* field) { return Testing::without(base, field); };
  const std::vector<Case> cases = {
      {"malformed JSON", "{\"a\": ", 400, "the request body is not valid JSON"},
      {"not an object", "[]", 400, "the request must be a JSON object"},
      {"no A", without("a"), 400, "a:"},
      {"a run's field", with("configuration", "{}"), 400,
       "unknown field \"configuration\" (expected a, b, sessions, seed, jobs or minutes)"},
      {"B not a string", with("b", 5), 400, "b:"},
      {"no sessions", without("sessions"), 400, "sessions:"},
      {"too many sessions", with("sessions", 100001), 400, "sessions:"},
      {"seed not a number", with("seed", "seven"), 400, "seed:"},
      {"negative seed", with("seed", -3), 400, "seed:"},
      {"fractional seed", with("seed", 1.5), 400, "seed:"},
      {"seed beyond 64 bits", with("seed", "18446744073709551616"), 400, "seed:"},
      {"last seed beyond 64 bits", with("seed", "18446744073709551615"), 400, "seed:"},
      {"no minutes", with("minutes", 0), 400, "minutes:"},
      {"A with errors", with("a", Testing::textWithErrors()), 422, "configuration a has errors"},
      {"B with errors", with("b", Testing::textWithErrors()), 422, "configuration b has errors"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto body = http.expectRefused("/api/comparisons", c.body, c.status, c.errorStart);
    if (c.status == 422) {
      EXPECT_EQ(body["side"], std::string(c.name).substr(0, 1) == "A" ? "a" : "b");
      EXPECT_FALSE(body["check"]["errors"].empty());
    }
  }
  for (const char* path : {"/api/comparisons/99", "/api/comparisons/99/comparison.json",
                           "/api/comparisons/99/comparison.csv", "/api/comparisons/x"}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(Testing::answeredWith(http.get(path), 404));
  }
  // A plain run is no comparison: its id is unknown to the comparison routes.
  auto run = http.post("/api/runs", Json{{"configuration", defaultText()}, {"sessions", 1}});
  ASSERT_TRUE(run);
  const std::string runId = WorkbenchHttp::json(run)["id"];
  http.waitForEnd(runId);
  EXPECT_TRUE(Testing::answeredWith(http.get("/api/comparisons/" + runId), 404));
}

TEST(ComparisonRoutes, AComparisonUnderWayHasNoDownloadYetAndCancelStopsIt) {
  auto options = WorkbenchHttp::defaults();
  options.runs.maxActive = 1;
  WorkbenchHttp http(options);
  const Json longComparison = {
      {"a", defaultText()}, {"b", fillsMore()}, {"sessions", 100000}, {"minutes", 10080}};
  auto started = http.post("/api/comparisons", longComparison);
  ASSERT_TRUE(Testing::answeredWith(started, 202));
  const std::string id = WorkbenchHttp::json(started)["id"];
  // It shares the limit of runs under way.
  EXPECT_TRUE(Testing::answeredWith(
      http.post("/api/runs", Json{{"configuration", defaultText()}, {"sessions", 1}}), 429));
  for (const std::string suffix : {"/comparison.json", "/comparison.csv"}) {
    EXPECT_TRUE(Testing::answeredWith(
        http.get(std::string("/api/comparisons/").append(id).append(suffix)), 409))
        << suffix;
  }
  // Each kind is read and cancelled by its own routes; cancel takes no fields.
  for (const std::string suffix : {"", "/report.json"}) {
    EXPECT_TRUE(
        Testing::answeredWith(http.get(std::string("/api/runs/").append(id).append(suffix)), 404))
        << suffix;
  }
  http.expectRefused("/api/runs/" + id + "/cancel", "{}", 404, "no run " + id);
  http.expectRefused("/api/comparisons/" + id + "/cancel", R"({"now": true})", 400,
                     "unknown field \"now\" (it takes no fields)");
  EXPECT_EQ(WorkbenchHttp::json(http.get("/api/comparisons/" + id))["state"], "running");
  auto cancel = http.post("/api/comparisons/" + id + "/cancel", std::string("{}"));
  ASSERT_TRUE(Testing::answeredWith(cancel, 200));
  const auto status = http.waitForEnd(id, "/api/comparisons/");
  EXPECT_EQ(status["state"], "cancelled");
  const auto compared = WorkbenchHttp::json(http.get("/api/comparisons/" + id));
  EXPECT_EQ(compared["comparison"]["stopped"], true);
  EXPECT_LT(compared["comparison"]["sessions"].get<int>(), 100000);
  EXPECT_TRUE(
      Testing::answeredWith(http.post("/api/comparisons/98/cancel", std::string("{}")), 404));
}

}  // namespace
}  // namespace QVRAdKit::Workbench
