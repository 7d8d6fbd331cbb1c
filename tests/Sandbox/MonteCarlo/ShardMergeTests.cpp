#include "Sandbox/MonteCarlo/ShardMerge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/TrialShard.h"
#include "Support/PlayedShards.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kVersion = "1.0.0";

TrialShard shardOf(MonteCarloReport report, std::uint64_t last, bool compare) {
  return Testing::shardOf(std::move(report), last, compare, kVersion);
}

// Through the file format and back, as shards written on other machines would come.
ShardMerge::Named throughFile(const TrialShard& shard, const std::string& name) {
  auto back = TrialShard::parse(TrialShard::json(shard), name);
  EXPECT_TRUE(back.hasValue()) << back.error().localizedDescription;
  EXPECT_EQ(*back, shard) << "a shard reads back exactly as written";
  return {name, back.hasValue() ? std::move(back).value() : TrialShard{}};
}

// One run over seeds 11..22 and four shards of it merged in another order: the same report, the
// same text and the same JSON, byte for byte; for a plain run and for a comparison.
TEST(ShardMergeTest, FourShardsMergeIntoExactlyTheOneRun) {
  for (bool compare : {false, true}) {
    const MonteCarloReport whole = Testing::playTrials(11, 12, compare);
    std::vector<ShardMerge::Named> shards;
    for (std::uint64_t first : {20u, 11u, 17u, 14u}) {
      shards.push_back(
          throughFile(shardOf(Testing::playTrials(first, 3, compare), first + 2, compare),
                      "part-" + std::to_string(first)));
    }
    auto merged = ShardMerge::merge(shards, kVersion);
    ASSERT_TRUE(merged.hasValue()) << merged.error().localizedDescription;
    EXPECT_EQ(*merged, whole);
    if (compare) {
      EXPECT_EQ(ComparisonTables::text(*merged), ComparisonTables::text(whole));
      EXPECT_EQ(ComparisonTables::json(*merged), ComparisonTables::json(whole));
    } else {
      EXPECT_EQ(MonteCarloTables::text(*merged), MonteCarloTables::text(whole));
      EXPECT_EQ(MonteCarloTables::json(*merged), MonteCarloTables::json(whole));
    }
  }
}

TEST(ShardMergeTest, MismatchedOverlappingAndMissingShardsAreRefusedWithReasons) {
  MonteCarloReport part;
  part.sessions = 10;
  part.sessionSeconds = 600;
  auto shard = [&part](std::uint64_t first) {
    MonteCarloReport report = part;
    report.firstSeed = first;
    return shardOf(report, first + 9, false);
  };
  struct Case {
    const char* what;
    std::vector<ShardMerge::Named> shards;
    std::string message;
  };
  TrialShard otherConfiguration = shard(11);
  otherConfiguration.configuration = "0000000000000001";
  TrialShard otherVersion = shard(11);
  otherVersion.toolVersion = "0.9.0";
  TrialShard longer = shard(11);
  longer.report.sessionSeconds = 1200;
  TrialShard premium = shard(11);
  premium.premium = true;
  TrialShard comparison = shard(11);
  comparison.candidate = TrialShard::fingerprint("B");
  comparison.report.comparison.emplace();
  const std::string a = TrialShard::fingerprint("A");
  const Case cases[] = {
      {"overlap",
       {{"a", shard(1)}, {"b", shard(5)}},
       "b and a both played seeds 5 to 10: a seed may count once"},
      {"gap",
       {{"a", shard(1)}, {"c", shard(31)}, {"b", shard(11)}},
       "seeds 21 to 30 are missing: no shard played them (between \"b\" and \"c\")"},
      {"configuration",
       {{"a", shard(1)}, {"b", otherConfiguration}},
       "b and a ran different configurations, or one under another consent region or answer "
       "(fingerprints 0000000000000001 and " +
           a + ")"},
      {"version",
       {{"a", shard(1)}, {"b", otherVersion}},
       "b: written by qvr-sandbox 0.9.0, this is 1.0.0: run the shard again with this version"},
      {"minutes",
       {{"a", shard(1)}, {"b", longer}},
       "b and a ran sessions of different lengths (20 and 10 minutes)"},
      {"premium", {{"a", shard(1)}, {"b", premium}}, "b and a differ in --premium"},
      {"candidate",
       {{"a", shard(1)}, {"b", comparison}},
       "b and a compared different candidates (" + TrialShard::fingerprint("B") + " and none)"},
  };
  for (const Case& c : cases) {
    auto merged = ShardMerge::merge(c.shards, kVersion);
    ASSERT_FALSE(merged.hasValue()) << c.what;
    EXPECT_EQ(merged.error().localizedDescription, c.message) << c.what;
    EXPECT_EQ(merged.error().code, 2);
  }
  EXPECT_FALSE(ShardMerge::merge({}, kVersion).hasValue());

  // A stopped shard that played only part of its seeds: the rest is a gap if a shard follows.
  TrialShard stopped = shard(1);
  stopped.report.sessions = 4;
  stopped.report.stopped = true;
  auto refused = ShardMerge::merge({{"first", stopped}, {"second", shard(11)}}, kVersion);
  ASSERT_FALSE(refused.hasValue());
  EXPECT_EQ(refused.error().localizedDescription,
            "seeds 5 to 10 are missing: no shard played them (between \"first\" and \"second\")");
  auto last =
      ShardMerge::merge({{"second", shard(11)}, {"first", shard(1)}, {"end", stopped}}, kVersion);
  ASSERT_FALSE(last.hasValue()) << "seeds 1..4 twice";
  TrialShard tail = shard(21);
  tail.report.sessions = 4;
  tail.report.stopped = true;
  auto partial = ShardMerge::merge({{"a", shard(1)}, {"b", shard(11)}, {"c", tail}}, kVersion);
  ASSERT_TRUE(partial.hasValue());
  EXPECT_EQ(partial->sessions, 24u);
  EXPECT_TRUE(partial->stopped) << "the run did not play every seed it was asked for";

  // Its missing seeds played by another shard: the whole run, as if none had stopped.
  MonteCarloReport restPart = part;
  restPart.firstSeed = 25;
  restPart.sessions = 6;
  const TrialShard rest = shardOf(restPart, 30, false);
  auto whole =
      ShardMerge::merge({{"a", shard(1)}, {"b", shard(11)}, {"c", tail}, {"d", rest}}, kVersion);
  auto plain = ShardMerge::merge({{"a", shard(1)}, {"b", shard(11)}, {"c", shard(21)}}, kVersion);
  ASSERT_TRUE(whole.hasValue() && plain.hasValue());
  EXPECT_FALSE(whole->stopped);
  EXPECT_EQ(*whole, *plain);
  // A merged shard that lost seeds before its first played one says so by its flag alone.
  TrialShard lost = shard(11);
  lost.report.stopped = true;
  auto carried = ShardMerge::merge({{"lost", lost}, {"c", shard(21)}}, kVersion);
  ASSERT_TRUE(carried.hasValue());
  EXPECT_TRUE(carried->stopped);
}

// The merge refuses sums it cannot hold, naming the shards that add up to them, rather than
// wrapping around or failing on the way.
TEST(ShardMergeTest, CountsBeyondSixtyFourBitsAreRefusedByShard) {
  auto huge = [](std::uint64_t first) {
    MonteCarloReport report;
    report.firstSeed = first;
    report.sessions = 1;
    report.sessionSeconds = 600;
    MomentSums sums;
    const std::uint64_t big = std::uint64_t{1} << 63;
    EXPECT_TRUE(
        MomentSums::fromState({big, 0, 0, 0, 0}, std::vector<std::uint64_t>(15, big), sums));
    report.perSession.placements.emplace("interstitial.connect", sums);
    return shardOf(report, first, false);
  };
  auto merged = ShardMerge::merge({{"a", huge(1)}, {"b", huge(2)}}, kVersion);
  ASSERT_FALSE(merged.hasValue());
  EXPECT_EQ(merged.error().localizedDescription,
            "the counts of \"a\" and \"b\" add up beyond 2^64, more than any run counts");
}

// Seeds a stopped shard was asked for but did not play are named, unless another shard played
// them; the merge itself goes on.
TEST(ShardMergeTest, SeedsThatStoppedShardsLeftUnplayedAreNamed) {
  auto shard = [](std::uint64_t first, std::uint64_t sessions, std::uint64_t requestedLast) {
    MonteCarloReport report;
    report.firstSeed = first;
    report.sessions = sessions;
    report.sessionSeconds = 600;
    report.stopped = first + sessions - 1 < requestedLast || sessions == 0;
    return shardOf(report, requestedLast, false);
  };
  struct Case {
    const char* what;
    std::vector<ShardMerge::Named> shards;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"complete", {{"a", shard(1, 10, 10)}, {"b", shard(11, 5, 15)}}, {}},
      {"stopped alone",
       {{"x", shard(1, 282, 2000)}},
       {"\"x\" asked for seeds 1 to 2000 but played 1 to 282 (it stopped early): seeds 283 to 2000 "
        "are in no table"}},
      {"none played",
       {{"z", shard(1, 0, 10)}, {"b", shard(11, 5, 15)}},
       {"\"z\" asked for seeds 1 to 10 but played none (it stopped early): seeds 1 to 10 are in no "
        "table"}},
      {"one played, one left",
       {{"y", shard(7, 1, 8)}},
       {"\"y\" asked for seeds 7 to 8 but played seed 7 (it stopped early): seed 8 is in no "
        "table"}},
      {"played by others, in parts",
       {{"s", shard(1, 2, 20)}, {"t", shard(5, 3, 7)}, {"u", shard(10, 20, 29)}},
       {"\"s\" asked for seeds 1 to 20 but played 1 to 2 (it stopped early): seeds 3 to 4 and 8 to "
        "9 "
        "are in no table"}},
      {"played by others, all", {{"s", shard(1, 2, 4)}, {"t", shard(3, 2, 4)}}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShardMerge::unplayed(c.shards), c.lines) << c.what;
}

TEST(TrialShardTest, FilesThatAreNoShardOfThisFormatAreRefusedByName) {
  const std::string text = TrialShard::json(shardOf(Testing::playTrials(1, 1, false), 1, false));
  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  // One character of the text turned into another.
  auto changedAt = [&text](std::size_t at) {
    std::string changed = text;
    changed[at] = changed[at] == '1' ? '2' : '1';
    return changed;
  };
  const std::size_t digestAt = text.rfind(",\"digest\"");
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"{", "not a shard file (parse error at line 1, column 2: syntax error"},
      {"", "not a shard file (the file is empty)"},
      {" \n\t", "not a shard file (the file is empty)"},
      {"{\"format\": 1e999}", "not a shard file (number overflow parsing '1e999')"},
      {"{\"format\":\"other\"}", "not a qvr-sandbox shard"},
      {replaced("\"formatVersion\":2", "\"formatVersion\":1"),
       "shard format version 1, this program reads version 2"},
      // A byte changed that every sum allows, a file laid out anew, the digest moved or dropped.
      {replaced("\"toolVersion\":\"", "\"toolVersion\":\"9"), "the file was changed or damaged"},
      {changedAt(text.find("\"configuration\":\"") + 17), "changed or damaged"},
      {nlohmann::json::parse(text).dump(2), "changed or damaged"},
      {"{" + text.substr(digestAt + 1, text.size() - digestAt - 2) + "," +
           text.substr(1, digestAt - 1) + "}",
       "changed or damaged"},
      {text.substr(0, digestAt) + "}", "\"digest\" is missing"},
      {replaced("\"premium\":false,", ""), "\"premium\" is missing"},
      {replaced("\"sessions\":1,", "\"sessions\":3,"), "\"seeds\" and \"sessions\" disagree"},
      {replaced("[[", "[[999999,"), "latencyBuckets holds a bad bucket"},
      {replaced("\"sessionSeconds\":1200.0", "\"sessionSeconds\":-1"),
       "\"sessionSeconds\" is not a positive number"},
      // Read exactly or refused: nothing after a NUL byte is ignored, no field is guessed at.
      {text + std::string("\0garbage{{{", 11),
       "not a shard file (a NUL byte at line 1, column " + std::to_string(text.size() + 1) + ")"},
      {"{\n  \"format\"" + std::string("\0", 1) + ": 1}", "(a NUL byte at line 2, column 11)"},
      {replaced("\"premium\":false,", "\"premium\":true,\"premium\":false,"),
       ": \"premium\" appears more than once"},
      {replaced("\"totals\":{", "\"totals\":{\"networks\":{},"),
       ": state.totals: \"networks\" appears more than once"},
      {replaced("\"sessionSeconds\":1200.0", "\"sessionSeconds\":1e-999"),
       ": sessionSeconds: 1e-999 is too small to represent"},
      {replaced("\"premium\":false,", "\"premium\":false,\"seed\":1,"),
       ": unknown field \"seed\" (expected format, formatVersion, "},
      {replaced("\"requested\":{", "\"requested\":{\"step\":1,"),
       ": requested: unknown field \"step\" (expected first or last)"},
      {replaced("\"fills\":", "\"fill\":0,\"fills\":"),
       ": unknown field \"fill\" (expected requests"},
      {replaced("\"comparison\":null", "\"comparison\":{\"x\":1}"),
       ": state.comparison: unknown field \"x\" (expected sessions, a, b, placements or networks)"},
      {replaced("\"comparison\":null", "\"comparison\":{}"),
       ": state.comparison: \"sessions\" is missing"},
      {replaced("\"comparison\":null",
                "\"comparison\":" + std::string(40, '[') + std::string(40, ']')),
       "not a shard file (nested deeper than 32 levels, at state.comparison"},
  };
  for (const Case& c : cases) {
    auto parsed = TrialShard::parse(c.text, "s.json");
    ASSERT_FALSE(parsed.hasValue()) << c.text;
    EXPECT_EQ(parsed.error().localizedDescription.rfind("s.json: ", 0), 0u);
    EXPECT_NE(parsed.error().localizedDescription.find(c.message), std::string::npos)
        << parsed.error().localizedDescription;
    // The JSON library's tag is not the reader's business.
    EXPECT_EQ(parsed.error().localizedDescription.find("[json."), std::string::npos)
        << parsed.error().localizedDescription;
  }
  EXPECT_TRUE(TrialShard::parse(text, "s.json").hasValue());
  EXPECT_NE(TrialShard::fingerprint("a"), TrialShard::fingerprint("b"));
  EXPECT_EQ(TrialShard::fingerprint("a").size(), 16u);
}

// Well-formed shards whose numbers no run writes (edited or damaged files) are refused, each with
// the fact it breaks; real shards, plain and compared, stopped or not, hold every one.
TEST(TrialShardTest, ShardsThatNoRunCanHaveWrittenAreRefused) {
  using Json = nlohmann::ordered_json;
  const TrialShard plain = shardOf(Testing::playTrials(3, 4, false), 6, false);
  const TrialShard compared = shardOf(Testing::playTrials(3, 4, true), 6, true);
  TrialShard stopped = shardOf(Testing::playTrials(3, 2, false), 9, false);
  stopped.report.stopped = true;
  TrialShard none = shardOf(MonteCarloReport{0, 3, 600, {}, {}, {}, true}, 9, false);
  for (const TrialShard* real :
       std::initializer_list<const TrialShard*>{&plain, &compared, &stopped, &none}) {
    auto back = TrialShard::parse(TrialShard::json(*real), "real");
    EXPECT_TRUE(back.hasValue()) << back.error().localizedDescription;
  }
  const auto row = [](Json& root, const char* side, const char* kind) -> Json& {
    Json& rows = root["state"][side][kind];
    return rows.begin().value();
  };
  using Edit = std::function<void(Json&)>;
  struct Case {
    const char* message;
    Edit edit;
    bool comparison = false;
  };
  const Case cases[] = {
      {"\"requested\" runs backwards", [](Json& j) { j["requested"]["first"] = 7; }},
      {"\"seeds\" and \"sessions\" disagree",
       [](Json& j) {
         j["seeds"] = {{"first", UINT64_MAX}, {"last", 2}};
         j["requested"]["first"] = UINT64_MAX;
       }},
      {"played more seeds than it was asked for", [](Json& j) { j["requested"]["last"] = 5; }},
      {"yet did not stop early", [](Json& j) { j["requested"]["last"] = 7; }},
      {"\"minutes\" is not", [](Json& j) { j["minutes"] = 21; }},
      {"not a session length",
       [](Json& j) {
         j["sessionSeconds"] = 1e308;
         j["minutes"] = 1e308 / 60;
       }},
      {"not 16 hex digits", [](Json& j) { j["configuration"] = "c"; }},
      {"row name",
       [](Json& j) {
         Json& networks = j["state"]["totals"]["networks"];
         networks["ad\x1b[2Jmob"] = networks.begin().value();
       }},
      {"more shows than opportunities",
       [&row](Json& j) { row(j, "totals", "placements")["shows"] = 1000; }},
      {"more fills and failures than requests",
       [&row](Json& j) { row(j, "totals", "networks")["failures"] = 1000; }},
      {"a network with opportunities",
       [&row](Json& j) { row(j, "totals", "networks")["opportunities"] = 1; }},
      {"latency histogram does not count the fills",
       [&row](Json& j) { row(j, "totals", "networks")["latencyBuckets"][0][1] = 7; }},
      {"holds a bad bucket",
       [&row](Json& j) { row(j, "totals", "networks")["latencyBuckets"][0][1] = 0; }},
      {"the placements and the networks count other requests",
       [&row](Json& j) { row(j, "totals", "placements")["requests"] = 1000; }},
      {"sums of a row that the totals lack",
       [](Json& j) {
         j["state"]["perSession"]["networks"]["other"] = {{"sums", std::vector<int>(5, 0)},
                                                          {"products", std::vector<int>(15, 0)}};
       }},
      {"do not add up to the totals",
       [&row](Json& j) {
         auto& sums = row(j, "perSession", "placements")["sums"];
         sums[0] = sums[0].get<std::uint64_t>() + 1;
       }},
      {"per-session sums that no sessions add up to",
       [&row](Json& j) {
         auto& products = row(j, "perSession", "placements")["products"];
         products[0] = products[0].get<std::uint64_t>() + 1;
       }},
      {"not the totals of the shard's own configuration",
       [&row](Json& j) { row(j, "comparison", "a").begin().value()["rewards"] = 1; }, true},
      {"a row neither side has",
       [](Json& j) {
         auto& placements = j["state"]["comparison"]["placements"];
         placements["other"] = placements.begin().value();
         for (auto& value : placements["other"]["sums"]) value = 0;
         for (auto& value : placements["other"]["products"]) value = 0;
       },
       true},
  };
  for (const Case& c : cases) {
    Json root = Json::parse(TrialShard::json(c.comparison ? compared : plain));
    c.edit(root);
    auto parsed = TrialShard::parse(root.dump(), "edited");
    ASSERT_FALSE(parsed.hasValue()) << c.message;
    EXPECT_NE(parsed.error().localizedDescription.find(c.message), std::string::npos)
        << c.message << ": " << parsed.error().localizedDescription;
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
