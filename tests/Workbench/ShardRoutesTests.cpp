// Opening a sharded run's results in the workbench, through a real socket: shards played in-process
// by the Monte Carlo runner, sent as the page sends their files, give the one run's report (and
// the command line's merge, byte for byte), a comparison's shards the comparison, and shards that
// do not merge the command line's own messages.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/TrialShard.h"
#include "Sandbox/Text/TerminalText.h"
#include "Support/PlayedShards.h"
#include "Support/TemporaryDirectory.h"
#include "Workbench/ComparisonCsv.h"
#include "Workbench/ShardRoutes.h"
#include "Workbench/WorkbenchHttp.h"
#include "tools/SandboxTool.h"
#include "tools/TrialFiles.h"

namespace QVRAdKit::Workbench {
namespace {

using Sandbox::MonteCarloReport;
using Sandbox::TrialShard;
using Testing::WorkbenchHttp;
using Json = nlohmann::json;

// The shard a run over those seeds writes (asked for seeds up to last).
TrialShard shardOf(MonteCarloReport report, std::uint64_t last, bool compare = false) {
  return QVRAdKit::Testing::shardOf(std::move(report), last, compare,
                                    Sandbox::TrialFiles::toolVersion());
}

TrialShard played(std::uint64_t first, std::uint64_t last, bool compare = false) {
  return shardOf(QVRAdKit::Testing::playTrials(first, last - first + 1, compare), last, compare);
}

// Shard files: their names (full paths, so that the command line names them alike) and texts.
class ShardFiles : public QVRAdKit::Testing::TemporaryDirectory {
 public:
  ShardFiles() : TemporaryDirectory("qvr-open-shards-") {}

  ShardFiles& add(const std::string& name, const std::string& text) {
    paths.push_back(write(name, text));
    body["shards"].push_back({{"name", paths.back()}, {"text", text}});
    return *this;
  }
  ShardFiles& add(const std::string& name, const TrialShard& shard) {
    return add(name, TrialShard::json(shard) + "\n");
  }

  // What `qvr-sandbox merge [--json] FILES...` prints: standard output, and each line of its
  // standard error without the program's name.
  struct Merge {
    int code = -1;
    std::string out;
    std::vector<std::string> messages;
  };
  [[nodiscard]] Merge merge() const {
    std::vector<const char*> argv = {"qvr-sandbox", "merge", "--json"};
    for (const auto& path : paths) argv.push_back(path.c_str());
    std::ostringstream out;
    std::ostringstream err;
    Merge merge;
    merge.code = Sandbox::SandboxTool::main(static_cast<int>(argv.size()), argv.data(), out, err);
    merge.out = out.str();
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);) {
      const std::string prefix = "qvr-sandbox merge: ";
      EXPECT_TRUE(line.starts_with(prefix)) << line;
      merge.messages.push_back(line.substr(prefix.size()));
    }
    return merge;
  }

  std::vector<std::string> paths;
  Json body = {{"shards", Json::array()}};
};

Json opened(WorkbenchHttp& http, const ShardFiles& files) {
  auto answer = http.post(ShardRoutes::kPath, files.body);
  EXPECT_TRUE(answer);
  if (!answer) return nullptr;
  EXPECT_EQ(answer->status, 200) << answer->body;
  return WorkbenchHttp::json(answer);
}

// One run over seeds 3..8, and one shard or three of it: the report the page shows and downloads
// is that run's, byte for byte what `qvr-sandbox merge --json` prints for the same files.
TEST(ShardRoutes, APlainRunsShardsOpenAsTheOneRunsReport) {
  const MonteCarloReport whole = QVRAdKit::Testing::playTrials(3, 6, false);
  const std::string wholeJson = Sandbox::MonteCarloTables::json(whole) + "\n";
  struct Case {
    const char* what;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seeds;  // in the order sent
    std::string opened;
  };
  const Case cases[] = {
      {"one shard", {{3, 8}}, "1 shard, seeds 3 to 8, merged"},
      {"three shards out of order", {{7, 8}, {3, 4}, {5, 6}}, "3 shards, seeds 3 to 8, merged"},
  };
  WorkbenchHttp http;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShardFiles files;
    for (const auto& [first, last] : c.seeds) {
      files.add("part-" + std::to_string(first) + ".json", played(first, last));
    }
    const Json answer = opened(http, files);
    EXPECT_EQ(answer["kind"], "run");
    EXPECT_EQ(answer["opened"], c.opened);
    EXPECT_EQ(answer["warnings"], Json::array());
    const Json& status = answer["status"];
    EXPECT_EQ(status["state"], "done");
    EXPECT_EQ(status["done"], 6);
    EXPECT_EQ(status["total"], 6);
    EXPECT_EQ(status["report"], Json::parse(wholeJson));
    EXPECT_TRUE(status["latencyCdf"]["networks"].is_object() &&
                !status["latencyCdf"]["networks"].empty())
        << status["latencyCdf"].dump();

    const std::string id = answer["id"];
    EXPECT_EQ(WorkbenchHttp::json(http.get("/api/runs/" + id)), status)
        << "the run's route answers what opening it did";
    auto download = http.get("/api/runs/" + id + "/report.json");
    ASSERT_TRUE(Testing::answeredWith(download, 200));
    EXPECT_EQ(download->body, wholeJson);
    const auto merge = files.merge();
    ASSERT_EQ(merge.code, 0);
    EXPECT_EQ(download->body, merge.out);
    EXPECT_TRUE(merge.messages.empty());
    EXPECT_EQ(http.get("/api/comparisons/" + id)->status, 404) << "a plain run compares nothing";
  }
}

TEST(ShardRoutes, AComparisonsShardsOpenAsTheComparisonWithItsDownloads) {
  const MonteCarloReport whole = QVRAdKit::Testing::playTrials(1, 6, true);
  ShardFiles files;
  files.add("b.json", played(4, 6, true)).add("a.json", played(1, 3, true));
  WorkbenchHttp http;
  const Json answer = opened(http, files);
  EXPECT_EQ(answer["kind"], "comparison");
  EXPECT_EQ(answer["opened"], "2 shards, seeds 1 to 6, merged");
  // Which configuration is A and which B, and the opened one's fingerprint as the command line
  // writes it into a shard of the embedded configuration, so the page can tell them apart.
  const auto embedded = Sandbox::TrialFiles::fingerprint(std::nullopt, "required", "accept");
  ASSERT_TRUE(embedded.hasValue());
  EXPECT_EQ(answer["configurations"], (Json{{"a", TrialShard::fingerprint("A")},
                                            {"b", TrialShard::fingerprint("B")},
                                            {"opened", embedded.value()}}));
  const Json& status = answer["status"];
  const std::string id = answer["id"];
  EXPECT_EQ(status["comparison"], Json::parse(Sandbox::ComparisonTables::json(whole)));
  ASSERT_TRUE(status["verdicts"].is_array());
  EXPECT_FALSE(status["verdicts"].empty());
  EXPECT_EQ(WorkbenchHttp::json(http.get("/api/comparisons/" + id)), status);

  auto download = http.get("/api/comparisons/" + id + "/comparison.json");
  ASSERT_TRUE(Testing::answeredWith(download, 200));
  EXPECT_EQ(download->body, Sandbox::ComparisonTables::json(whole) + "\n");
  const auto merge = files.merge();
  ASSERT_EQ(merge.code, 0);
  EXPECT_EQ(download->body, merge.out);
  auto csv = http.get("/api/comparisons/" + id + "/comparison.csv");
  ASSERT_TRUE(Testing::answeredWith(csv, 200));
  EXPECT_EQ(csv->body, ComparisonCsv::of(*whole.comparison));
}

// A shard that stopped before its last seeds still opens; the seeds no shard played are named as
// merge names them, and the status says how many of those asked for were played.
TEST(ShardRoutes, SeedsAStoppedShardDidNotPlayAreAWarningWithTheResult) {
  TrialShard stopped = shardOf(QVRAdKit::Testing::playTrials(3, 3, false), 8);
  stopped.report.stopped = true;
  ShardFiles files;
  files.add("stopped\x1b[2J.json", stopped);
  WorkbenchHttp http;
  const Json answer = opened(http, files);
  const auto merge = files.merge();
  ASSERT_EQ(merge.code, 0);
  ASSERT_EQ(merge.messages.size(), 1u);
  EXPECT_EQ(answer["warnings"], Json(merge.messages));
  EXPECT_EQ(answer["warnings"][0], "\"" + files.file("stopped\\x1B[2J.json") +
                                       "\" asked for seeds 3 to 8 but played 3 to 5 (it stopped "
                                       "early): seeds 6 to 8 are in no table");
  EXPECT_EQ(answer["opened"], "1 shard, seeds 3 to 5, merged");
  EXPECT_EQ(answer["status"]["done"], 3);
  EXPECT_EQ(answer["status"]["total"], 6);
  EXPECT_EQ(answer["status"]["report"]["stopped"], true);
  auto download = http.get("/api/runs/" + answer["id"].get<std::string>() + "/report.json");
  ASSERT_TRUE(download);
  EXPECT_EQ(download->body, merge.out);
}

// The status's total counts each seed some shard asked for once: seeds between the shards' asked
// ranges are asked of none, so they are left out of it and named as a gap, not counted as unplayed.
TEST(ShardRoutes, TheTotalCountsOnlyTheSeedsTheShardsAskedFor) {
  const TrialShard first = played(1, 3);
  // A shard that stopped before playing any of the seeds it was asked for.
  const auto none = [&first](std::uint64_t requestedFirst, std::uint64_t requestedLast) {
    MonteCarloReport report;
    report.firstSeed = requestedFirst;
    report.sessionSeconds = first.report.sessionSeconds;
    report.stopped = true;
    return shardOf(report, requestedLast);
  };
  struct Case {
    const char* what;
    std::vector<TrialShard> shards;
    std::uint64_t total;
    std::vector<std::string> gaps;
  };
  const Case cases[] = {
      {"adjacent ranges", {first, none(4, 6)}, 6, {}},
      {"a gap of one seed", {first, none(5, 5)}, 4, {"seed 4 is in no shard"}},
      {"a gap, sent out of order", {none(21, 30), first}, 13, {"seeds 4 to 20 are in no shard"}},
      {"two gaps, one range inside another",
       {first, none(10, 20), none(12, 14), none(30, 30)},
       15,
       {"seeds 4 to 9 are in no shard", "seeds 21 to 29 are in no shard"}},
  };
  WorkbenchHttp http;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShardFiles files;
    for (std::size_t i = 0; i < c.shards.size(); ++i) {
      files.add("part-" + std::to_string(i) + ".json", c.shards[i]);
    }
    const Json answer = opened(http, files);
    EXPECT_EQ(answer["status"]["done"], 3);
    EXPECT_EQ(answer["status"]["total"], c.total);
    EXPECT_EQ(answer["gaps"], Json(c.gaps));
    EXPECT_EQ(answer["opened"], std::to_string(c.shards.size()) + " shards, seeds 1 to 3, merged");
  }
}

// Shards that do not merge: a 422 whose problems are the lines `qvr-sandbox merge` prints for the
// same files (names escaped alike), one per problem.
TEST(ShardRoutes, ShardsThatDoNotMergeAreRefusedWithTheCommandLinesMessages) {
  const TrialShard first = played(1, 2);
  const TrialShard second = played(3, 4);
  const TrialShard third = played(5, 6);
  TrialShard otherConfiguration = second;
  otherConfiguration.configuration = TrialShard::fingerprint("C");
  TrialShard longer = second;
  longer.report.sessionSeconds *= 2;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // name, text
    std::vector<std::string> problems;                       // with {0}, {1}: the files' paths
  };
  const auto text = [](const TrialShard& shard) { return TrialShard::json(shard) + "\n"; };
  const Case cases[] = {
      {"a gap",
       {{"a\x1b.json", text(first)}, {"c.json", text(third)}},
       {"seeds 3 to 4 are missing: no shard played them (between \"{0}\" and \"{1}\")"}},
      {"overlapping seeds",
       {{"a.json", text(first)}, {"b.json", text(played(2, 3))}},
       {"{1} and {0} both played seed 2: a seed may count once"}},
      {"two problems, one line each",
       {{"a.json", text(first)}, {"b.json", text(otherConfiguration)}, {"c.json", text(longer)}},
       {"{1} and {0} ran different configurations, or one under another consent region or answer "
        "(fingerprints " +
            TrialShard::fingerprint("C") + " and " + TrialShard::fingerprint("A") + ")",
        "{2} and {0} ran sessions of different lengths (40 and 20 minutes)"}},
      {"no shard",
       {{"a.json", text(first)}, {"notes.json", "{\"hello\": 1}\n"}},
       {"{1}: not a qvr-sandbox shard (no \"format\":\"qvr-sandbox-shard\")"}},
      {"a shard with more after a NUL byte",
       {{"a.json", text(first) + std::string("\0garbage{{{", 11)}},
       {"{0}: not a shard file (a NUL byte at line 2, column 1)"}},
      {"a field twice",
       {{"a.json",
         std::string(text(first)).insert(text(first).find("\"premium\""), "\"premium\":true,")}},
       {"{0}: \"premium\" appears more than once"}},
  };
  WorkbenchHttp http;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShardFiles files;
    for (const auto& [name, content] : c.files) files.add(name, content);
    std::vector<std::string> expected;
    for (std::string problem : c.problems) {
      for (std::size_t index = 0; index < files.paths.size(); ++index) {
        std::string mark("{");  // appended: g++ 12 at -O3 warns falsely of "{" + string
        mark += std::to_string(index) + "}";
        std::string shown = Sandbox::TerminalText::visible(files.paths[index]);
        for (std::size_t at; (at = problem.find(mark)) != std::string::npos;) {
          problem.replace(at, mark.size(), shown);
        }
      }
      expected.push_back(problem);
    }
    const Json refused = http.expectRefused(ShardRoutes::kPath, files.body.dump(), 422,
                                            "the shards cannot be merged");
    EXPECT_EQ(refused["problems"], Json(expected));
    const auto merge = files.merge();
    EXPECT_EQ(merge.code, Sandbox::SandboxTool::kBadInput);
    EXPECT_EQ(merge.messages, expected);
  }
}

TEST(ShardRoutes, MalformedRequestsAreRefusedNamingTheField) {
  const std::string shard = TrialShard::json(played(1, 1));
  const Json good = {{"name", "a.json"}, {"text", shard}};
  struct Case {
    std::string body;
    std::string error;
  };
  const Case cases[] = {
      {"[1]", "the request must be a JSON object"},
      {"{}", "shards: must be a list of at least one shard file"},
      {R"({"shards":[]})", "shards: must be a list of at least one shard file"},
      {R"({"shards":{"name":"a","text":""}})", "shards: must be a list"},
      {Json{{"shards", {good, 7}}}.dump(), "shards[1]: must be {\"name\":..,\"text\":..}"},
      {Json{{"shards", {{{"text", shard}}}}}.dump(), "shards[0].name: must be the file's name"},
      {Json{{"shards", {{{"name", ""}, {"text", shard}}}}}.dump(), "shards[0].name:"},
      {Json{{"shards", {good, {{"name", "b.json"}, {"text", 3}}}}}.dump(),
       "shards[1].text: must be the shard file's text"},
      {"{\"shards\": [", "the request body is not valid JSON"},
      {Json{{"shards", {good}}, {"merge", true}}.dump(),
       "unknown field \"merge\" (expected shards)"},
      {Json{{"shards", {{{"name", "a.json"}, {"text", shard}, {"path", "/a.json"}}}}}.dump(),
       "shards[0]: unknown field \"path\" (expected name or text)"},
  };
  WorkbenchHttp http;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 80));
    http.expectRefused(ShardRoutes::kPath, c.body, 400, c.error);
  }

  const std::string body = Json{{"shards", {good}}}.dump();
  auto noToken = http.client->Post(ShardRoutes::kPath, body, "application/json");
  ASSERT_TRUE(Testing::answeredWith(noToken, 403));
  EXPECT_EQ(WorkbenchHttp::json(noToken)["error"], "missing or wrong X-Workbench-Token header");
  // Past the server's limit on a body, the message says to merge on the command line first.
  http.expectRefused(ShardRoutes::kPath, std::string(WorkbenchServer::kMaxBodyBytes + 1, ' '), 413,
                     ShardRoutes::kTooLarge);
  EXPECT_EQ(http.post(ShardRoutes::kPath, body)->status, 200) << "the same shard, with the token";
}

// An opened result is an ended run: it is kept even while the runs under way are at their limit,
// and it does not count toward that limit.
TEST(ShardRoutes, OpenedResultsDoNotCountAsRunsUnderWay) {
  auto options = WorkbenchHttp::defaults();
  options.runs.maxActive = 1;
  WorkbenchHttp http(std::move(options));
  const Json longRun = {{"configuration", Testing::defaultText()},
                        {"sessions", Sandbox::MonteCarloRunner::kMaxSessions},
                        {"minutes", 10080}};
  auto started = http.post("/api/runs", longRun);
  ASSERT_TRUE(Testing::answeredWith(started, 202));
  ShardFiles files;
  files.add("a.json", played(1, 2));
  const Json answer = opened(http, files);
  EXPECT_EQ(answer["status"]["state"], "done");
  EXPECT_EQ(http.post("/api/runs", longRun)->status, 429) << "the run under way still counts";
  EXPECT_EQ(WorkbenchHttp::json(http.get(
                "/api/runs/" + WorkbenchHttp::json(started)["id"].get<std::string>()))["state"],
            "running");
}

}  // namespace
}  // namespace QVRAdKit::Workbench
