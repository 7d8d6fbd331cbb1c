// qvr-sandbox's sharded and compared Monte Carlo runs, through the program's command line:
// shards of a seed range merged by `qvr-sandbox merge`, and --compare.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Tools/SandboxToolFixture.h"
#include "tools/SandboxCommandLine.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Testing::Lines;
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
    for (int first = 5; first <= 11; first += 2) {
      const std::string path = file("part-" + std::to_string(first) + ".json");
      Lines arguments = {"--minutes",    "20",
                         "--seed-range", std::to_string(first) + ".." + std::to_string(first + 1),
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

// The tables and the JSON of one run over seeds 5..12, and of four shards of it merged, are the
// same bytes; for a plain run and for a comparison.
TEST_F(TrialShardToolTest, OneRunEqualsTheMergeOfFourShardsByteForByte) {
  for (const Lines& extra : {Lines{}, Lines{"--compare", file("b.json")}}) {
    for (bool json : {false, true}) {
      Lines arguments = {"--minutes", "20", "--seed", "5", "--sessions", "8", "--quiet"};
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
      run({"--minutes", "20", "--sessions", "8", "--compare", file("b.json"), "--json"});
  ASSERT_EQ(compared.code, 0) << compared.err;
  const auto json = nlohmann::json::parse(compared.out);
  EXPECT_EQ(json["comparison"], "b-a");
  EXPECT_EQ(json["a"]["sessions"], 8);
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
  const Outcome twice = run({"merge", file("a1.json"), file("a1.json")});
  EXPECT_EQ(twice.code, SandboxTool::kBadInput);
  EXPECT_NE(twice.err.find("both played seeds 1 to 2"), std::string::npos);
  const Outcome missing = run({"merge", file("none.json")});
  EXPECT_EQ(missing.code, SandboxTool::kBadInput);
  EXPECT_NE(missing.err.find("cannot read the shard"), std::string::npos);
  EXPECT_EQ(run({"merge"}).code, SandboxTool::kBadInput) << "at least one shard";

  // A merge of merges: the merged shard merges on.
  ASSERT_EQ(run({"--minutes", "20", "--seed-range", "3..4", "--shard-out", file("a3.json")}).code,
            0);
  ASSERT_EQ(run({"merge", file("a1.json"), file("a3.json"), "--shard-out", file("a1-4.json")}).code,
            0);
  const Outcome onward = run({"merge", file("a1-4.json"), file("a5.json")});
  const Outcome direct = run({"merge", file("a1.json"), file("a3.json"), file("a5.json")});
  EXPECT_EQ(onward.code, 0) << onward.err;
  EXPECT_EQ(onward.out, direct.out);

  // A shard that cannot be written is output lost, and no half-written file is left.
  const Outcome lost =
      run({"--minutes", "20", "--seed-range", "1..1", "--shard-out", file("absent/part.json")});
  EXPECT_EQ(lost.code, SandboxTool::kOutputLost);
  EXPECT_NE(lost.err.find("cannot write the shard"), std::string::npos) << lost.err;
  EXPECT_FALSE(fs::exists(dir / "absent"));
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

  auto edited = [&shard](const std::string& from, const std::string& to) {
    std::string text = shard;
    text.replace(text.find(from), from.size(), to);
    return text;
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
      {{"--seed-range", "1..2", "--storage", "x.sqlite"}, "not with --seed-range"},
      {{"--shard-out", "x.json"}, "--shard-out: only with --sessions or --seed-range"},
      {{"--compare", "b.json"}, "--compare: only with --sessions or --seed-range"},
      {{"--sessions", "2", "--shard-out", ""}, "--shard-out: the path is empty"},
      {{"--sessions", "2", "--compare", ""}, "--compare: the path is empty"},
      {{"--sessions", "2", "--config", "c.json", "--shard-out", "./c.json"},
       "--config and --shard-out name the same file"},
      {{"--sessions", "2", "--compare", "c.json", "--shard-out", "c.json"},
       "--compare and --shard-out name the same file"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.code, SandboxTool::kBadInput) << c.problem;
    EXPECT_NE(outcome.err.find(c.problem), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_EQ(SandboxCommandLine::seedRange("0..18446744073709551615")->last, UINT64_MAX);
  EXPECT_EQ(SandboxCommandLine::seedRange("7..7")->first, 7u);
  EXPECT_FALSE(SandboxCommandLine::seedRange("..7"));
  EXPECT_FALSE(SandboxCommandLine::seedRange("1...7"));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
