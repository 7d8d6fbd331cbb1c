// qvr-sandbox's sharded and compared Monte Carlo runs, through the program's command line:
// shards of a seed range merged by `qvr-sandbox merge`, and --compare.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/TrialShard.h"
#include "Tools/SandboxToolFixture.h"
#include "tools/SandboxCommandLine.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Testing::contents;
using Testing::Lines;
using Testing::lines;
using Testing::Outcome;

class TrialShardToolTest : public Testing::SandboxToolFixture {
 protected:
  TrialShardToolTest() {
    // B: the embedded configuration with a user who opens the time wall more often.
    std::string text(kDefaultSandboxConfigurationJson);
    const std::string from = "\"rewardedChance\": 0.5";
    text.replace(text.find(from), from.size(), "\"rewardedChance\": 0.9");
    write("b.json", text);
  }

  // Four shards of seeds 5..12 written as four separate runs would, then merged.
  Outcome mergeOfFourShards(const Lines& extra, bool json) {
    Lines shards;
    for (int first = 5; first <= 14; first += 3) {
      const std::string path = file("part-" + std::to_string(first) + ".json");
      Lines arguments = {"--minutes",    "20",
                         "--seed-range", std::to_string(first) + ".." + std::to_string(first + 2),
                         "--shard-out",  path,
                         "--quiet"};
      arguments.insert(arguments.end(), extra.begin(), extra.end());
      const Outcome shard = run(arguments);
      EXPECT_EQ(shard.code, 0) << shard.err;
      shards.push_back(path);
    }
    Lines merge = {"merge"};
    if (json) merge.emplace_back("--json");
    // In another order than played.
    merge.insert(merge.end(), shards.rbegin(), shards.rend());
    return run(merge);
  }
};

// The tables and the JSON of one run over seeds 5..16, and of four shards of it merged, are the
// same bytes (intervals included: enough seeds for them); for a plain run and for a comparison.
TEST_F(TrialShardToolTest, OneRunEqualsTheMergeOfFourShardsByteForByte) {
  for (const Lines& extra : {Lines{}, Lines{"--compare", file("b.json")}}) {
    for (bool json : {false, true}) {
      Lines arguments = {"--minutes", "20", "--seed", "5", "--sessions", "12", "--quiet"};
      arguments.insert(arguments.end(), extra.begin(), extra.end());
      if (json) arguments.emplace_back("--json");
      const Outcome whole = run(arguments);
      ASSERT_EQ(whole.code, 0) << whole.err;
      const Outcome merged = mergeOfFourShards(extra, json);
      ASSERT_EQ(merged.code, 0) << merged.err;
      EXPECT_EQ(merged.out, whole.out);
      EXPECT_EQ(merged.err, "");
    }
  }
  const Outcome compared =
      run({"--minutes", "20", "--sessions", "12", "--compare", file("b.json"), "--json"});
  ASSERT_EQ(compared.code, 0) << compared.err;
  const auto json = nlohmann::json::parse(compared.out);
  EXPECT_EQ(json["comparison"], "b-a");
  EXPECT_EQ(json["a"]["sessions"], 12);
  const auto& timewall = json["placements"][json["placements"].size() - 1];
  EXPECT_EQ(timewall["placement"], "rewarded.timewall");
  EXPECT_GT(timewall["showsPerSession"]["b"], timewall["showsPerSession"]["a"])
      << "B opens the time wall more often";
  EXPECT_EQ(timewall["showsPerSession"]["ci"].size(), 2u);
}

TEST_F(TrialShardToolTest, ShardsOfOtherRunsAndMissingSeedsAreRefused) {
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "1..2", "--shard-out", file("a1.json")}).code,
            0);
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "5..6", "--shard-out", file("a5.json")}).code,
            0);
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "3..4", "--shard-out", file("b3.json"),
                 "--config", file("b.json")})
                .code,
            0);
  ASSERT_EQ(run({"--minutes", "30", "--seed-range", "3..4", "--shard-out", file("long.json")}).code,
            0);

  const Outcome gap = run({"merge", file("a1.json"), file("a5.json")});
  EXPECT_EQ(gap.code, SandboxTool::kBadInput);
  EXPECT_EQ(gap.err,
            "qvr-sandbox merge: seeds 3 to 4 are missing: no shard played them (between \"" +
                file("a1.json") + "\" and \"" + file("a5.json") + "\")\n");
  EXPECT_EQ(gap.out, "");
  const Outcome other = run({"merge", file("a1.json"), file("b3.json"), file("long.json")});
  EXPECT_EQ(other.code, SandboxTool::kBadInput);
  ASSERT_EQ(std::count(other.err.begin(), other.err.end(), '\n'), 2) << other.err;
  EXPECT_NE(other.err.find("ran different configurations"), std::string::npos);
  EXPECT_NE(other.err.find("ran sessions of different lengths"), std::string::npos);
  // The same configuration under another consent region: the message says it may be that.
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "3..4", "--shard-out", file("r3.json"),
                 "--region", "not-required"})
                .code,
            0);
  const Outcome region = run({"merge", file("a1.json"), file("r3.json")});
  EXPECT_EQ(region.code, SandboxTool::kBadInput);
  EXPECT_NE(region.err.find("or one under another consent region or answer (fingerprints "),
            std::string::npos)
      << region.err;
  const Outcome twice = run({"merge", file("a1.json"), file("a1.json")});
  EXPECT_EQ(twice.code, SandboxTool::kBadInput);
  EXPECT_NE(twice.err.find("both played seeds 1 to 2"), std::string::npos);
  const Outcome missing = run({"merge", file("none.json")});
  EXPECT_EQ(missing.code, SandboxTool::kBadInput);
  EXPECT_NE(missing.err.find("cannot read the shard"), std::string::npos);
  for (const Lines& none : {Lines{"merge"}, Lines{"merge", "--json"}}) {
    const Outcome nothing = run(none);
    EXPECT_EQ(nothing.code, SandboxTool::kBadInput) << "at least one shard";
    EXPECT_EQ(nothing.err,
              "qvr-sandbox merge: no shard to merge: name the shard files written with "
              "--shard-out\n");
  }

  // A merge of merges: the merged shard merges on.
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "3..4", "--shard-out", file("a3.json")}).code,
            0);
  ASSERT_EQ(run({"merge", file("a1.json"), file("a3.json"), "--shard-out", file("a1-4.json")}).code,
            0);
  const Outcome onward = run({"merge", file("a1-4.json"), file("a5.json")});
  const Outcome direct = run({"merge", file("a1.json"), file("a3.json"), file("a5.json")});
  EXPECT_EQ(onward.code, 0) << onward.err;
  EXPECT_EQ(onward.out, direct.out);

  // A shard that could not be written is refused before any session runs, for a merge too.
  for (const Lines& arguments :
       {Lines{"--minutes", "20", "--seed-range", "1..1", "--shard-out", file("absent/part.json")},
        Lines{"merge", file("a1.json"), "--shard-out", file("absent/part.json")}}) {
    const Outcome lost = run(arguments);
    EXPECT_EQ(lost.code, SandboxTool::kBadInput);
    EXPECT_NE(lost.err.find("--shard-out: cannot write \"" + file("absent/part.json") +
                            "\": the directory \"" + file("absent") + "\" does not exist\n"),
              std::string::npos)
        << lost.err;
    EXPECT_EQ(lost.out, "");
  }
  EXPECT_FALSE(fs::exists(dir / "absent"));
}

// A placement only A has keeps A's rates in text and JSON; B's, and the difference, are none.
// Headings count one session and one seed in the singular, and fractions of minutes exactly.
TEST_F(TrialShardToolTest, APlacementOnlyAHasKeepsItsRatesAndHeadingsReadRight) {
  auto configuration = nlohmann::json::parse(kDefaultSandboxConfigurationJson);
  configuration["interstitial"].erase("disconnect");
  write("b-less.json", configuration.dump());
  const Lines arguments = {"--minutes", "20", "--sessions", "4", "--compare", file("b-less.json")};
  const Outcome text = run(arguments);
  ASSERT_EQ(text.code, 0) << text.err;
  const std::regex onlyA(
      R"(  interstitial\.disconnect +fill rate +\d+\.\d% +- +- +- +-\n +show rate +\d+\.\d% )");
  EXPECT_TRUE(std::regex_search(text.out, onlyA)) << text.out;
  Lines withJson = arguments;
  withJson.emplace_back("--json");
  const Outcome json = run(withJson);
  ASSERT_EQ(json.code, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out);
  for (const auto& row : report["placements"]) {
    if (row["placement"] != "interstitial.disconnect") continue;
    EXPECT_GT(row["fillRate"]["a"], 0);
    for (const char* none : {"b", "difference", "ci", "independentCi"}) {
      EXPECT_TRUE(row["fillRate"][none].is_null()) << none;
    }
  }

  const std::pair<std::string, std::string> headings[] = {
      {"0.5", "Monte Carlo: 1 session of 0.5 simulated minutes, seeds 1 to 1\n"},
      {"1", "Monte Carlo: 1 session of 1 simulated minute, seeds 1 to 1\n"},
  };
  for (const auto& [minutes, heading] : headings) {
    const Outcome one = run({"--minutes", minutes, "--sessions", "1"});
    EXPECT_TRUE(one.out.starts_with(heading)) << one.out;
  }
  const Outcome pair = run({"--minutes", "1.25", "--sessions", "1", "--compare", file("b.json")});
  EXPECT_TRUE(pair.out.starts_with(
      "Paired comparison, B (--compare) minus A: 1 seed of 1.25 simulated minutes, seeds 1 to 1\n"))
      << pair.out;
  // Intervals from fewer seeds than a decision needs say so under the tables; one seed has none.
  EXPECT_EQ(pair.out.find("fewer than 200 seeds"), std::string::npos);
  const Outcome few = run({"--minutes", "1", "--sessions", "12", "--compare", file("b.json")});
  EXPECT_TRUE(few.out.ends_with(std::string(ComparisonTables::kFewSeeds) + "\n")) << few.out;
}

// Whatever is named as a shard, merge answers with one line per problem and exit 2: a directory,
// a device that never ends, a shard whose text would reach the terminal raw. A shard that stopped
// early still merges (exit 0, the same tables), with the seeds it left out named on stderr.
TEST_F(TrialShardToolTest, MergeAnswersEveryInputWithALineAndAnExitCode) {
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "1..4", "--shard-out", file("a.json")}).code,
            0);
  const std::string shard = contents(file("a.json"));
  fs::create_directory(dir / "adir");
  const Outcome directory = run({"merge", file("a.json"), file("adir")});
  EXPECT_EQ(directory.code, SandboxTool::kBadInput);
  EXPECT_EQ(directory.err, "qvr-sandbox merge: cannot read the shard \"" + file("adir") +
                               "\": it is a directory\n");
  const Outcome endless = run({"merge", "/dev/zero"});
  EXPECT_EQ(endless.code, SandboxTool::kBadInput);
  EXPECT_EQ(
      endless.err,
      "qvr-sandbox merge: the shard \"/dev/zero\" is more than the limit of 67108864 bytes\n");

  // Changed, then sealed again with its digest, as a writer of such a shard would have.
  auto edited = [&shard](const std::string& from, const std::string& to) {
    std::string text = shard;
    text.replace(text.find(from), from.size(), to);
    text.erase(text.rfind(",\"digest\":"));
    return text + ",\"digest\":\"" + TrialShard::fingerprint(text) + "\"}\n";
  };
  const Outcome foreign = run(
      {"merge", write("v.json", edited("\"toolVersion\":\"", "\"toolVersion\":\"\\u001b[2J\\n"))});
  EXPECT_EQ(foreign.code, SandboxTool::kBadInput);
  EXPECT_EQ(lines(foreign.err).size(), 1u) << foreign.err;
  EXPECT_NE(foreign.err.find("written by qvr-sandbox \\x1B[2J\\x0A"), std::string::npos)
      << foreign.err;

  const Outcome whole = run({"merge", file("a.json")});
  const Outcome stopped = run(
      {"merge",
       write("s.json",
             edited("\"requested\":{\"first\":1,\"last\":4},\"sessions\":4,\"stopped\":false",
                    "\"requested\":{\"first\":1,\"last\":9},\"sessions\":4,\"stopped\":true"))});
  EXPECT_EQ(stopped.code, 0) << stopped.err;
  EXPECT_EQ(stopped.err,
            "qvr-sandbox merge: \"" + file("s.json") +
                "\" asked for seeds 1 to 9 but played 1 to 4 (it stopped early): seeds "
                "5 to 9 are in no table\n");
  EXPECT_NE(stopped.out.find("(stopped early)"), std::string::npos);
  EXPECT_EQ(lines(stopped.out).size(), lines(whole.out).size());

  // Its missing seeds played again: the merge is the whole run, not "stopped early", directly or
  // through a merged shard that still knows which seeds its part was asked for.
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "5..9", "--shard-out", file("rest.json")}).code,
            0);
  const Outcome one = run({"--minutes", "20", "--seed-range", "1..9"});
  const Outcome completed = run({"merge", file("s.json"), file("rest.json")});
  EXPECT_EQ(completed.code, 0) << completed.err;
  EXPECT_EQ(completed.err, "");
  EXPECT_EQ(completed.out, one.out);
  ASSERT_EQ(run({"merge", file("s.json"), "--shard-out", file("s-merged.json")}).code, 0);
  const Outcome onward = run({"merge", file("s-merged.json")});
  EXPECT_EQ(onward.err, stopped.err.substr(0, stopped.err.find('"')) + "\"" +
                            file("s-merged.json") +
                            stopped.err.substr(stopped.err.find("\" asked")))
      << "the merged shard still names the seeds no table has";
  EXPECT_EQ(run({"merge", file("s-merged.json"), file("rest.json")}).out, one.out);
}

TEST_F(TrialShardToolTest, TrialOptionsAreCheckedTogether) {
  struct Case {
    Lines arguments;
    std::string problem;
  };
  const Case cases[] = {
      {{"--seed-range", "5"}, "--seed-range: must be FIRST..LAST"},
      {{"--seed-range", "9..5"}, "--seed-range: must be FIRST..LAST"},
      {{"--seed-range", "1..-2"}, "--seed-range: must be FIRST..LAST"},
      {{"--seed-range", "0..100000"}, "--seed-range: at most 100000 seeds per process"},
      {{"--seed-range", "1..2", "--sessions", "2"}, "--seed-range: not with --sessions"},
      {{"--seed-range", "1..2", "--seed", "1"}, "--seed-range: not with --seed"},
      // Only the options given are named.
      {{"--seed-range", "1..2", "--storage", "x.sqlite"},
       "qvr-sandbox: --storage: not with --seed-range\n"},
      {{"--seed-range", "1..2", "--storage", "x.sqlite", "--inspect-html", "p.html"},
       "qvr-sandbox: --storage and --inspect-html: not with --seed-range\n"},
      {{"--sessions", "3", "--inspect-at", "1:00"},
       "qvr-sandbox: --inspect-at: not with --sessions\n"},
      {{"--sessions", "3", "--inspect-html", "p.html"},
       "qvr-sandbox: --inspect-html: not with --sessions\n"},
      {{"--shard-out", "x.json"}, "--shard-out: only with --sessions or --seed-range"},
      {{"--compare", "b.json"}, "--compare: only with --sessions or --seed-range"},
      {{"--sessions", "2", "--shard-out", ""}, "--shard-out: the path is empty"},
      {{"--sessions", "2", "--compare", ""}, "--compare: the path is empty"},
      {{"--sessions", "2", "--config", "c.json", "--shard-out", "./c.json"},
       "--config and --shard-out name the same file"},
      {{"--sessions", "2", "--compare", "c.json", "--shard-out", "c.json"},
       "--compare and --shard-out name the same file"},
      {{"--jobs", "2"}, "--jobs: only with --sessions or --seed-range"},
      {{"--sessions", "2", "--events", "e.jsonl"}, "--events: not with --sessions"},
      {{"--seed-range", "1..2", "--events", "e.jsonl"}, "--events: not with --seed-range"},
      // The tables go to standard output: a shard there would mix with them.
      {{"--sessions", "2", "--shard-out", "-"},
       "--shard-out and the tables both write to standard output"},
      {{"--seed-range", "1..2", "--shard-out", "/dev/stdout"},
       "--shard-out and the tables both write to standard output"},
      {{"merge", "s.json", "--shard-out", ""}, "merge: --shard-out: the path is empty"},
      {{"merge", "s.json", "--shard-out", "-"},
       "merge: --shard-out and the tables both write to standard output"},
      {{"--sessions", "2", "--shard-out", "/proc/version"},
       "--shard-out: cannot write \"/proc/version\": no file can be made in \"/proc\""},
      {{"merge", "s.json", "--shard-out", "/dev/full"},
       "--shard-out: cannot write \"/dev/full\": No space left on device"},
      // A run's options before merge would be dropped unseen.
      {{"--json", "merge", "s.json"}, "qvr-sandbox: --json: give it after merge\n"},
      {{"--jobs", "2", "merge", "s.json"}, "qvr-sandbox: --jobs: does not apply to merge\n"},
      {{"--json", "serve"}, "qvr-sandbox: --json: does not apply to serve\n"},
      // The command-line library's own refusals, in the same words as the others.
      {{"serve", "--json"}, "qvr-sandbox: serve: --json: not an option of serve (see --help)\n"},
      {{"merge", "--seed", "3"}, "qvr-sandbox: merge: --seed: not an option of merge"},
      {{"--frobnicate"}, "qvr-sandbox: --frobnicate: not an option (see --help)\n"},
      {{"--seed", "1", "--seed", "2"}, "qvr-sandbox: --seed: given 2 times; give it once"},
      {{"--banner-svg", "-", "--banner-insets", "1", "2", "3"},
       "qvr-sandbox: --banner-insets: needs 4 values, found 3"},
      {{"serve", "--port", "abc"}, "--port: must be a whole number from 0 to 65535, found \"abc\""},
      {{"serve", "--port", "65536"}, "--port: must be a whole number from 0 to 65535"},
      {{"serve", "--port", "-1"}, "--port: must be a whole number from 0 to 65535"},
      // More than an address is refused before listening, naming what to leave out.
      {{"serve", "--listen", "127.0.0.1:80"}, "--listen: \"127.0.0.1:80\": give the address alone"},
      {{"serve", "--listen", "http://localhost"}, "without a scheme such as http://"},
      {{"serve", "--listen", "[::1"}, "in one pair of brackets"},
      // The picture's options draw nothing in a session.
      {{"--minutes", "1", "--banner-title", "x"},
       "qvr-sandbox: --banner-title: only with --banner-svg\n"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.code, SandboxTool::kBadInput) << c.problem;
    EXPECT_NE(outcome.err.find(c.problem), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_FALSE(fs::exists("-")) << "a shard on standard output is never a file named -";
  const Outcome misplaced =
      run({"--seed-range", "1..3", "--shard-out", "z.json", "--premium", "merge", "s.json"});
  EXPECT_EQ(misplaced.code, SandboxTool::kBadInput);
  EXPECT_EQ(lines(misplaced.err), (Lines{"qvr-sandbox: --premium: does not apply to merge",
                                         "qvr-sandbox: --seed-range: does not apply to merge",
                                         "qvr-sandbox: --shard-out: give it after merge"}));
  // How the server is stopped, and what it then returns, is in its help.
  const Outcome serveHelp = run({"serve", "--help"});
  EXPECT_EQ(serveHelp.code, 0);
  for (const char* told : {"SIGINT", "SIGTERM", "SIGHUP", "status 0", "128 + the signal"}) {
    EXPECT_NE(serveHelp.out.find(told), std::string::npos) << told << " in " << serveHelp.out;
  }
  EXPECT_EQ(SandboxCommandLine::seedRange("0..18446744073709551615")->last, UINT64_MAX);
  EXPECT_EQ(SandboxCommandLine::seedRange("7..7")->first, 7u);
  EXPECT_FALSE(SandboxCommandLine::seedRange("..7"));
  EXPECT_FALSE(SandboxCommandLine::seedRange("1...7"));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
