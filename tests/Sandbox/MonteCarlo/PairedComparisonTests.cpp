#include "Sandbox/MonteCarlo/PairedComparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kConnect = "interstitial.connect";

double width(const std::optional<Interval>& interval) {
  return interval ? interval->high - interval->low : NAN;
}

SessionStatistics session(std::uint64_t requests, std::uint64_t fills, std::uint64_t shows) {
  SessionStatistics statistics;
  auto& row = statistics.placements[kConnect];
  row.requests = requests;
  row.fills = fills;
  row.opportunities = requests;
  row.shows = shows;
  statistics.networks["admob"] = row;
  return statistics;
}

// Sessions that differ a lot from seed to seed, and B one more show than A on every third seed:
// the seed's own variation cancels in the pairs, so the paired interval is far narrower than the
// independent one on the same data, and both hold the true difference.
TEST(PairedComparisonTest, PairingBySeedNarrowsTheIntervalOfTheSameData) {
  PairedComparison comparison;
  std::vector<double> differences;
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    const std::uint64_t requests = 10 + (seed * 37) % 41;  // 10..50 per session
    const std::uint64_t fills = requests * (40 + seed % 50) / 100;
    const std::uint64_t shows = fills / 2;
    const std::uint64_t extra = seed % 3 == 0 ? 1 : 0;
    comparison.add(session(requests, fills, shows),
                   session(requests, fills + extra, shows + extra));
    differences.push_back(static_cast<double>(extra));
  }
  const auto rows = comparison.placements();
  const PairedComparison::Row& row = rows.at(kConnect);

  const auto& shows = row.showsPerSession;
  EXPECT_NEAR(shows.difference.value, 100.0 / 300, 1e-12);
  // By hand: mean(d) +- t(299) * s(d) / sqrt(n) for d = 1 on a third of the seeds, 0 elsewhere;
  // t(299) = 1.96793, Student's two-sided 95% quantile.
  const double mean = 1.0 / 3;
  const double variance = (100 * (1 - mean) * (1 - mean) + 200 * mean * mean) / 299;
  ASSERT_TRUE(shows.difference.interval && shows.independent);
  EXPECT_NEAR(shows.difference.interval->low, mean - 1.967929 * std::sqrt(variance / 300), 1e-6);
  EXPECT_NEAR(shows.difference.interval->high, mean + 1.967929 * std::sqrt(variance / 300), 1e-6);
  EXPECT_LT(width(shows.difference.interval) * 5, width(shows.independent))
      << "paired: " << width(shows.difference.interval) << ", independent "
      << width(shows.independent);
  EXPECT_LE(shows.independent->low, mean);
  EXPECT_GE(shows.independent->high, mean);

  ASSERT_TRUE(row.fillRate.has_value());
  const auto& fill = *row.fillRate;
  EXPECT_GT(fill.difference.value, 0);
  ASSERT_TRUE(fill.difference.interval && fill.independent);
  EXPECT_GT(fill.difference.interval->low, 0) << "the paired interval sees the effect";
  EXPECT_LT(fill.independent->low, 0) << "the independent one cannot tell it from noise";
  EXPECT_LT(width(fill.difference.interval) * 5, width(fill.independent));

  EXPECT_EQ(row.requestsPerSession.difference.value, 0);
  EXPECT_EQ(row.requestsPerSession.difference.interval, (Interval{0, 0}));
}

// B that never fills, or always does, against an A that fills most requests but whole sessions
// not at all: the interval of B - A stays within what two rates allow. (The delta method's
// symmetric interval reached past -1 and +1 here.)
TEST(PairedComparisonTest, ARateDifferenceStaysWithinWhatTheRatesAllow) {
  struct Case {
    const char* name;
    std::uint64_t bFills;  // per request of B: 0 or 1
  };
  for (const Case& c : {Case{"B never fills", 0}, Case{"B always fills", 1}}) {
    SCOPED_TRACE(c.name);
    PairedComparison comparison;
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
      const std::uint64_t requests = 1 + seed % 3;
      const std::uint64_t fills = seed % 5 == 0 ? 0 : requests;
      comparison.add(session(requests, fills, 0), session(requests, c.bFills * requests, 0));
    }
    const auto fill = comparison.placements().at(kConnect).fillRate;
    ASSERT_TRUE(fill && fill->difference.interval && fill->independent);
    const Interval paired = *fill->difference.interval;
    EXPECT_LE(paired.low, fill->difference.value);
    EXPECT_GE(paired.high, fill->difference.value);
    // A failed whole sessions, so no end may claim a certain 100-point change.
    EXPECT_GT(paired.low, -1.0);
    EXPECT_LT(paired.high, 1.0);
    EXPECT_GT(fill->independent->low, -1.0);
    EXPECT_LT(fill->independent->high, 1.0);
  }
}

TEST(PairedComparisonTest, MergingSeedRangesIsExactAndSidesReadAsTheirOwnRuns) {
  PairedComparison whole;
  PairedComparison first;
  PairedComparison second;
  SessionMoments ownB;
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    const auto a = session(seed % 7, seed % 5, seed % 3);
    auto b = session(seed % 6, seed % 4, seed % 2);
    if (seed == 3) b.placements["rewarded.timewall"].rewards = 2;  // a row only B has
    whole.add(a, b);
    (seed < 8 ? first : second).add(a, b);
    ownB.add(b);
  }
  second.merge(first);
  EXPECT_EQ(second, whole);
  EXPECT_EQ(second.placements(), whole.placements());
  EXPECT_EQ(whole.momentsB(), ownB);
  EXPECT_FALSE(whole.momentsA().placements.contains("rewarded.timewall"));
  const auto rows = whole.placements();
  const auto& onlyB = rows.at("rewarded.timewall");
  EXPECT_EQ(onlyB.fillRate, std::nullopt) << "no requests on either side";
  EXPECT_NEAR(onlyB.rewardsPerSession.difference.value, 0.1, 1e-12);

  // Too few seeds for a spread: a value, no interval; from kMinSessionsForSpread on, both.
  PairedComparison few;
  for (std::uint64_t seed = 0; seed < kMinSessionsForSpread; ++seed) {
    if (seed + 1 == kMinSessionsForSpread) {
      const auto row = few.placements().at(kConnect);
      ASSERT_TRUE(row.fillRate.has_value());
      EXPECT_DOUBLE_EQ(row.fillRate->difference.value, 0.25);
      EXPECT_EQ(row.fillRate->difference.interval, std::nullopt) << seed << " seeds";
      EXPECT_EQ(row.showsPerSession.difference.interval, std::nullopt) << seed << " seeds";
    }
    few.add(session(4, 2, seed % 2), session(4, 3, 1));
  }
  const auto enough = few.placements().at(kConnect);
  EXPECT_TRUE(enough.fillRate->difference.interval.has_value());
  EXPECT_TRUE(enough.showsPerSession.difference.interval.has_value());
}

// The same configuration on both sides, played for real: every per-seed difference is 0, so the
// paired interval is the point 0, while the same sessions taken as independent runs are not.
TEST(PairedComparisonTest, TheSameConfigurationOnBothSidesDiffersByExactlyNothing) {
  MonteCarloRunner::Options options;
  options.firstSeed = 21;
  options.sessions = 12;
  options.jobs = 2;
  options.duration = 30 * 60;
  options.candidate = options.configuration;
  auto report = MonteCarloRunner::run(options);
  ASSERT_TRUE(report.hasValue()) << report.error().localizedDescription;
  ASSERT_TRUE(report->comparison.has_value());
  EXPECT_EQ(report->comparison->sessions(), 12u);
  EXPECT_EQ(report->comparison->totalsA(), report->totals);
  EXPECT_EQ(report->comparison->totalsB(), report->totals);
  EXPECT_EQ(report->comparison->momentsA(), report->perSession);
  const auto rows = report->comparison->placements();
  const auto& connect = rows.at(kConnect);
  ASSERT_TRUE(connect.fillRate.has_value());
  EXPECT_EQ(connect.fillRate->difference.value, 0);
  EXPECT_EQ(width(connect.fillRate->difference.interval), 0);
  EXPECT_GT(width(connect.fillRate->independent), 0);
  EXPECT_EQ(width(connect.requestsPerSession.difference.interval), 0);
  EXPECT_GT(width(connect.requestsPerSession.independent), 0);
  // One app-launch request and no show in every session: each run alone gives such a count the
  // width of the sessions it did not see, and two unrelated runs could differ by as much.
  const auto& launch = rows.at("appOpen.appLaunch");
  const double bound = ConfidenceIntervals::sameCountBound(12);
  for (const auto* mean : {&launch.requestsPerSession, &launch.showsPerSession}) {
    EXPECT_EQ(mean->difference.interval, (Interval{0, 0}));
    ASSERT_TRUE(mean->independent.has_value());
  }
  EXPECT_DOUBLE_EQ(launch.requestsPerSession.independent->high, std::sqrt(2.0) * bound);
  EXPECT_DOUBLE_EQ(launch.requestsPerSession.independent->low, -std::sqrt(2.0) * bound);
  EXPECT_DOUBLE_EQ(launch.showsPerSession.independent->high, bound) << "no count below 0";
  EXPECT_DOUBLE_EQ(launch.showsPerSession.independent->low, -bound);

  // Identical sides cancel term by term; what the sum keeps of their rounding is no spread (it
  // used to give a tiny width, or below 0 no interval at all).
  std::mt19937_64 draws(7);
  for (int run = 0; run < 20; ++run) {
    PairedComparison same;
    for (int seed = 0; seed < 1000; ++seed) {
      const std::uint64_t requests = 1 + draws() % 40;
      const auto side = session(requests, draws() % (requests + 1), draws() % 5);
      same.add(side, side);
    }
    const auto row = same.placements().at(kConnect);
    SCOPED_TRACE(run);
    EXPECT_EQ(row.fillRate->difference.interval, (Interval{0, 0}));
    EXPECT_EQ(row.showRate->difference.interval, (Interval{0, 0}));
    EXPECT_EQ(row.showsPerSession.difference.interval, (Interval{0, 0}));
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
