#include "Sandbox/MonteCarlo/ShardMerge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/TrialShard.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kVersion = "1.0.0";

MonteCarloReport play(std::uint64_t firstSeed, std::uint64_t sessions, bool compare) {
  MonteCarloRunner::Options options;
  options.firstSeed = firstSeed;
  options.sessions = sessions;
  options.duration = 20 * 60;
  if (compare) {
    options.candidate = options.configuration;
    options.candidate->session.rewardedChance = 0.9;
  }
  auto report = MonteCarloRunner::run(options);
  EXPECT_TRUE(report.hasValue());
  return report.hasValue() ? std::move(report).value() : MonteCarloReport{};
}

TrialShard shardOf(MonteCarloReport report, std::uint64_t last, bool compare) {
  TrialShard shard;
  shard.toolVersion = kVersion;
  shard.configuration = TrialShard::fingerprint("A");
  if (compare) shard.candidate = TrialShard::fingerprint("B");
  shard.requestedFirst = report.firstSeed;
  shard.requestedLast = last;
  shard.report = std::move(report);
  return shard;
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
    const MonteCarloReport whole = play(11, 12, compare);
    std::vector<ShardMerge::Named> shards;
    for (std::uint64_t first : {20u, 11u, 17u, 14u}) {
      shards.push_back(throughFile(shardOf(play(first, 3, compare), first + 2, compare),
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
       "b and a ran different configurations (0000000000000001 and " + a + ")"},
      {"version",
       {{"a", shard(1)}, {"b", otherVersion}},
       "b: written by qvr-sandbox 0.9.0, this is 1.0.0: run the shard again with this version"},
      {"minutes", {{"a", shard(1)}, {"b", longer}}, "b and a ran sessions of different lengths"},
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
}

TEST(TrialShardTest, FilesThatAreNoShardOfThisFormatAreRefusedByName) {
  TrialShard good;
  good.toolVersion = kVersion;
  good.configuration = "c";
  good.report.sessions = 1;
  good.report.sessionSeconds = 60;
  good.report.totals.placements["interstitial.connect"].loadLatency.add(250);
  const std::string text = TrialShard::json(good);
  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"{", "not a shard file"},
      {"{\"format\":\"other\"}", "not a qvr-sandbox shard"},
      {replaced("\"formatVersion\":1", "\"formatVersion\":2"),
       "shard format version 2, this program reads version 1"},
      {replaced("\"premium\":false,", ""), "\"premium\" is missing"},
      {replaced("\"sessions\":1,", "\"sessions\":3,"), "\"seeds\" and \"sessions\" disagree"},
      {replaced("[[", "[[999999,"), "latencyBuckets holds a bad bucket"},
      {replaced("\"sessionSeconds\":60.0", "\"sessionSeconds\":-1"),
       "\"sessionSeconds\" is not a positive number"},
  };
  for (const Case& c : cases) {
    auto parsed = TrialShard::parse(c.text, "s.json");
    ASSERT_FALSE(parsed.hasValue()) << c.text;
    EXPECT_EQ(parsed.error().localizedDescription.rfind("s.json: ", 0), 0u);
    EXPECT_NE(parsed.error().localizedDescription.find(c.message), std::string::npos)
        << parsed.error().localizedDescription;
  }
  EXPECT_TRUE(TrialShard::parse(text, "s.json").hasValue());
  EXPECT_NE(TrialShard::fingerprint("a"), TrialShard::fingerprint("b"));
  EXPECT_EQ(TrialShard::fingerprint("a").size(), 16u);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
