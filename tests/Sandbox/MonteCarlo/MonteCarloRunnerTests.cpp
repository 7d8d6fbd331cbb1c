#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/SessionPlayer.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {
namespace {

using Options = MonteCarloRunner::Options;

Options shortRun(std::uint64_t sessions, unsigned jobs) {
  Options options;
  options.firstSeed = 11;
  options.sessions = sessions;
  options.jobs = jobs;
  options.duration = 30 * 60;
  return options;
}

// The statistics of the first `sessions` sessions of options played one by one, added up in seed
// order.
SessionStatistics oneByOne(const Options& options, std::uint64_t sessions) {
  SessionStatistics totals;
  for (std::uint64_t seed = options.firstSeed; seed < options.firstSeed + sessions; ++seed) {
    auto session = MonteCarloRunner::runSession(options.configuration, seed, options.duration,
                                                options.premium);
    EXPECT_TRUE(session.hasValue()) << "seed " << seed;
    if (session) totals.merge(*session);
  }
  return totals;
}

TEST(MonteCarloRunnerTest, SessionsAndJobsAreBounded) {
  auto problemWith = [](std::uint64_t sessions, unsigned jobs) {
    Options options;
    options.sessions = sessions;
    options.jobs = jobs;
    return MonteCarloRunner::problem(options);
  };
  EXPECT_EQ(problemWith(1, 1), std::nullopt);
  EXPECT_EQ(problemWith(MonteCarloRunner::kMaxSessions, MonteCarloRunner::kMaxJobs), std::nullopt);
  EXPECT_EQ(problemWith(0, 1), "--sessions: must be from 1 to 100000, found 0");
  EXPECT_EQ(problemWith(MonteCarloRunner::kMaxSessions + 1, 1),
            "--sessions: must be from 1 to 100000, found 100001");
  EXPECT_EQ(problemWith(1, 0), "--jobs: must be from 1 to 64, found 0");
  EXPECT_EQ(problemWith(1, MonteCarloRunner::kMaxJobs + 1),
            "--jobs: must be from 1 to 64, found 65");

  // Refused before any session runs.
  Options tooMany = shortRun(MonteCarloRunner::kMaxSessions + 1, 1);
  bool ran = false;
  tooMany.progress = [&ran](std::uint64_t, std::uint64_t) { ran = true; };
  auto refused = MonteCarloRunner::run(tooMany);
  ASSERT_FALSE(refused.hasValue());
  EXPECT_EQ(refused.error().localizedDescription,
            "--sessions: must be from 1 to 100000, found 100001");
  EXPECT_FALSE(ran);
}

// Three sessions on one thread and on two: the same tables, byte for byte, as each other, as a
// second run, and as the three sessions run one by one and added up in seed order.
TEST(MonteCarloRunnerTest, TheSameSeedsGiveTheSameTablesOnOneOrTwoJobs) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  Options oneJob = shortRun(3, 1);
  oneJob.progress = [&progress](std::uint64_t done, std::uint64_t total) {
    progress.emplace_back(done, total);
  };
  auto first = MonteCarloRunner::run(oneJob);
  ASSERT_TRUE(first.hasValue()) << first.error().localizedDescription;
  EXPECT_EQ(progress,
            (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{1, 3}, {2, 3}, {3, 3}}));

  auto again = MonteCarloRunner::run(shortRun(3, 1));
  auto twoJobs = MonteCarloRunner::run(shortRun(3, 2));
  ASSERT_TRUE(again.hasValue());
  ASSERT_TRUE(twoJobs.hasValue());
  EXPECT_EQ(MonteCarloTables::text(*again), MonteCarloTables::text(*first));
  EXPECT_EQ(MonteCarloTables::text(*twoJobs), MonteCarloTables::text(*first));
  EXPECT_EQ(MonteCarloTables::json(*twoJobs), MonteCarloTables::json(*first));
  EXPECT_EQ(*twoJobs, *first);

  EXPECT_EQ(oneByOne(oneJob, 3), first->totals);

  // Something was played: requests with answers, and the host's moments.
  const auto& connect = first->totals.placements.at("interstitial.connect");
  EXPECT_GT(connect.requests, 0u);
  EXPECT_LE(connect.fills + connect.failures, connect.requests);
  EXPECT_GT(connect.loadLatency.sampleCount(), 0u);
  EXPECT_LE(connect.shows, connect.opportunities);
  Options otherSeeds = shortRun(3, 2);
  otherSeeds.firstSeed = 12;
  auto other = MonteCarloRunner::run(otherSeeds);
  ASSERT_TRUE(other.hasValue());
  EXPECT_NE(MonteCarloTables::text(*other), MonteCarloTables::text(*first));
}

// Monte Carlo sessions drain their background work by hand. The host settles it at each step of
// the clock either way, so every host-visible moment comes at the same time and in the same order
// as with the background thread a phone has.
// A job reuses one player for its sessions: each must count as on a player of its own, whatever
// the player played before (a seed after another, the same seed again, a premium user after one).
TEST(MonteCarloRunnerTest, AReusedPlayerStartsEachSessionFromCleanCounters) {
  const Options options = shortRun(1, 1);
  struct Case {
    bool premium;
    std::vector<std::uint64_t> seeds;
  };
  const Case cases[] = {{false, {11, 12, 11}}, {true, {12, 13}}};
  for (const Case& test : cases) {
    SessionPlayer player(options.configuration, options.duration, test.premium);
    for (std::uint64_t seed : test.seeds) {
      auto reused = player.play(seed);
      auto alone =
          MonteCarloRunner::runSession(options.configuration, seed, options.duration, test.premium);
      ASSERT_TRUE(reused.hasValue() && alone.hasValue());
      EXPECT_FALSE(reused->placements.empty());
      EXPECT_EQ(*reused, *alone) << "seed " << seed << (test.premium ? " premium" : "");
    }
  }
}

TEST(MonteCarloRunnerTest, ASessionDrainedByHandPlaysAsOneWithABackgroundThread) {
  auto narration = [](std::uint64_t seed, size_t backgroundThreads) {
    std::vector<std::string> lines;
    SandboxHostOptions options;
    options.seed = seed;
    options.duration = 45 * 60;
    options.storagePath = std::string(SQLiteKeyValueStore::kInMemoryPath);
    options.backgroundThreads = backgroundThreads;
    options.narrator = [&lines](std::string_view line) { lines.emplace_back(line); };
    auto summary = SandboxHost::run(options);
    EXPECT_TRUE(summary.hasValue());
    return lines;
  };
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    const auto byHand = narration(seed, Platform::BackgroundExecutor::kDrainedByHand);
    EXPECT_GT(byHand.size(), 5u);
    EXPECT_EQ(byHand, narration(seed, 1)) << "seed " << seed;
  }
}

// A player's sessions share one copy of the simulated networks' settings. Each session still draws
// from its own seed (never from the seed field of the shared copy), and a session leaves the copy
// as it found it: sessions sharing it, one after another, narrate what sessions with copies of
// their own narrate.
TEST(MonteCarloRunnerTest, SessionsSharingTheNetworksSettingsPlayAsOnesWithCopiesOfTheirOwn) {
  SandboxHostOptions options;
  options.duration = 45 * 60;
  options.storagePath = std::string(SQLiteKeyValueStore::kInMemoryPath);
  options.backgroundThreads = Platform::BackgroundExecutor::kDrainedByHand;
  auto narration = [&options](std::uint64_t seed) {
    std::vector<std::string> lines;
    options.seed = seed;
    options.narrator = [&lines](std::string_view line) { lines.emplace_back(line); };
    EXPECT_TRUE(SandboxHost::run(options).hasValue());
    return lines;
  };
  const std::uint64_t seeds[] = {1, 2, 1};
  std::vector<std::vector<std::string>> copied;
  for (std::uint64_t seed : seeds) copied.push_back(narration(seed));
  auto googleMobileAds = options.configuration.googleMobileAds;
  googleMobileAds.seed = 12345;
  auto ironSource = options.configuration.ironSource;
  ironSource.seed = 54321;
  options.sharedGoogleMobileAds =
      std::make_shared<const SimulatedGoogleMobileAds::PreparedConfiguration>(googleMobileAds);
  options.sharedIronSource = std::make_shared<const SimulatedIronSource::Configuration>(ironSource);
  for (std::size_t i = 0; i < std::size(seeds); ++i) {
    EXPECT_GT(copied[i].size(), 5u);
    EXPECT_EQ(narration(seeds[i]), copied[i]) << "session " << i << ", seed " << seeds[i];
  }
  EXPECT_NE(copied[0], copied[1]) << "the seeds draw different sessions";
}

// A stop on two jobs may leave a later session ended while an earlier one did not start: the
// report covers only the gapless run of seeds from the first, exactly as played one by one.
TEST(MonteCarloRunnerTest, AStopReportsTheSessionsThatEndedWithoutAGap) {
  Options options = shortRun(8, 2);
  std::atomic<int> asked{0};
  options.stopRequested = [&asked] { return ++asked > 4; };
  auto report = MonteCarloRunner::run(options);
  ASSERT_TRUE(report.hasValue());
  EXPECT_TRUE(report->stopped);
  ASSERT_GE(report->sessions, 2u);
  ASSERT_LT(report->sessions, 8u);
  EXPECT_EQ(report->totals, oneByOne(options, report->sessions));
}

TEST(MonteCarloRunnerTest, PremiumUsersGetNoAdsButStillHaveMoments) {
  Options premium = shortRun(2, 1);
  premium.premium = true;
  auto report = MonteCarloRunner::run(premium);
  ASSERT_TRUE(report.hasValue());
  for (const auto& [name, row] : report->totals.placements) {
    EXPECT_EQ(row.requests, 0u) << name;
    EXPECT_EQ(row.shows, 0u) << name;
  }
  EXPECT_TRUE(report->totals.placements.contains("interstitial.connect"))
      << "configured placements are listed even when idle";
}

TEST(MonteCarloTablesTest, RendersKnownStatisticsAsTextAndJson) {
  MonteCarloReport report;
  report.sessions = 2;
  report.firstSeed = 5;
  report.sessionSeconds = 600;
  SessionStatistics::Row connect;
  connect.requests = 4;
  connect.fills = 3;
  connect.failures = 1;
  for (int ms : {100, 200, 900}) connect.loadLatency.add(ms);
  connect.opportunities = 2;
  connect.shows = 1;
  report.totals.placements["interstitial.connect"] = connect;
  report.totals.placements["rewarded.timewall"] = {};
  SessionStatistics::Row admob = connect;
  admob.rewards = 7;
  report.totals.networks["admob"] = admob;
  // Per session: 3 requests, 2 fills, an opportunity and a show, then 1 request, 1 fill, an
  // opportunity and no show.
  SessionStatistics first;
  auto& firstConnect = first.placements["interstitial.connect"];
  firstConnect.requests = 3;
  firstConnect.fills = 2;
  firstConnect.opportunities = 1;
  firstConnect.shows = 1;
  SessionStatistics second;
  auto& secondConnect = second.placements["interstitial.connect"];
  secondConnect.requests = 1;
  secondConnect.fills = 1;
  secondConnect.opportunities = 1;
  report.perSession.add(first);
  report.perSession.add(second);

  const auto json = nlohmann::json::parse(MonteCarloTables::json(report));
  EXPECT_EQ(json["sessions"], 2);
  EXPECT_EQ(json["seed"], 5);
  ASSERT_EQ(json["placements"].size(), 2u);
  const auto& row = json["placements"][0];
  EXPECT_EQ(row["placement"], "interstitial.connect");
  EXPECT_EQ(row["requests"], 4);
  EXPECT_EQ(row["fillRate"], 0.75);
  EXPECT_EQ(row["fillRateCI"], nlohmann::json::array({0.3006, 0.9544}))
      << "Wilson, 3 of 4: two sessions are too few to measure their spread";
  EXPECT_EQ(row["loadLatencyMs"]["p50"], 200);
  EXPECT_EQ(row["loadLatencyMs"]["p90"], 899) << "the middle of 896..903";
  EXPECT_EQ(row["loadLatencyMs"]["p99"], 899);
  EXPECT_EQ(row["showRate"], 0.5);
  EXPECT_EQ(row["showRateCI"], nlohmann::json::array({0.0945, 0.9055}));
  // Mean 2 requests per session; two sessions are too few for its interval.
  EXPECT_EQ(row["perSession"]["requests"]["mean"], 2);
  EXPECT_TRUE(row["perSession"]["requests"]["ci"].is_null());
  EXPECT_EQ(row["perSession"]["shows"]["mean"], 0.5);
  EXPECT_EQ(json["intervals"]["rates"], "wilson on effective trials from the spread over sessions");
  EXPECT_EQ(json["intervals"]["minSessions"], kMinSessionsForSpread);
  const auto& idle = json["placements"][1];
  EXPECT_TRUE(idle["fillRate"].is_null());
  EXPECT_TRUE(idle["loadLatencyMs"]["p50"].is_null());
  EXPECT_TRUE(idle["showRate"].is_null());
  EXPECT_TRUE(idle["fillRateCI"].is_null());
  EXPECT_EQ(idle["perSession"]["shows"]["mean"], 0) << "a row no session had: zeros";
  ASSERT_EQ(json["networks"].size(), 1u);
  EXPECT_EQ(json["networks"][0]["network"], "admob");
  EXPECT_EQ(json["networks"][0]["rewards"], 7);
  EXPECT_FALSE(json["networks"][0].contains("opportunities"));

  const std::string text = MonteCarloTables::text(report);
  EXPECT_NE(text.find("2 sessions of 10 simulated minutes, seeds 5 to 6"), std::string::npos);
  EXPECT_NE(text.find("interstitial.connect"), std::string::npos);
  EXPECT_NE(text.find("75.0% (30.1-95.4)"), std::string::npos);
  EXPECT_NE(text.find("50.0% (9.5-90.5)"), std::string::npos);
  const auto perSession =
      text.substr(text.find("\n  interstitial.connect", text.find("Per session")) + 1);
  EXPECT_EQ(perSession.substr(0, perSession.find('\n')).substr(0, 34),
            "  interstitial.connect    2.00    ")
      << "a mean without an interval";
  EXPECT_NE(text.find("Wilson score"), std::string::npos);
  const auto idleLine = text.substr(text.find("rewarded.timewall"));
  EXPECT_EQ(idleLine.substr(0, idleLine.find('\n')).find('%'), std::string::npos)
      << "no rate without a denominator";
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
