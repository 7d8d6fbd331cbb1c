#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Sandbox/MonteCarlo/MomentSums.h"
#include "Sandbox/MonteCarlo/SessionMoments.h"

namespace QVRAdKit::Sandbox {
namespace {

double widthOf(const std::optional<Interval>& interval) {
  return interval ? interval->high - interval->low : 0;
}

TEST(ConfidenceIntervalsTest, WilsonMatchesReferenceValuesAndStaysInsideZeroToOne) {
  struct Case {
    std::uint64_t successes, trials;
    double low, high;
  };
  // Reference values of the 95% Wilson score interval.
  const Case cases[] = {
      {0, 10, 0.0, 0.2775328}, {10, 10, 0.7224672, 1.0},        {5, 10, 0.2365931, 0.7634069},
      {1, 1, 0.2065493, 1.0},  {75, 100, 0.6569554, 0.8245479}, {3000, 4000, 0.7363455, 0.7631748},
  };
  for (const Case& c : cases) {
    const auto interval = ConfidenceIntervals::wilson(c.successes, c.trials);
    ASSERT_TRUE(interval.has_value());
    EXPECT_NEAR(interval->low, c.low, 1e-6) << c.successes << "/" << c.trials;
    EXPECT_NEAR(interval->high, c.high, 1e-6) << c.successes << "/" << c.trials;
    EXPECT_GE(interval->low, 0.0);
    EXPECT_LE(interval->high, 1.0);
  }
  EXPECT_EQ(ConfidenceIntervals::wilson(0, 0), std::nullopt) << "no trials, no rate";
}

TEST(ConfidenceIntervalsTest, StudentsTQuantileMatchesReferenceValues) {
  // Two-sided 95% quantiles of Student's t with n - 1 degrees of freedom, from tables.
  const std::pair<std::uint64_t, double> cases[] = {
      {2, 12.706205}, {10, 2.262157}, {30, 2.045230}, {1'000'000, 1.959966}};
  for (const auto& [sessions, quantile] : cases) {
    EXPECT_NEAR(ConfidenceIntervals::studentT95(sessions), quantile, 1e-6) << sessions;
  }
}

TEST(SessionMomentsTest, MeanPerSessionUsesStudentsTOrWilsonForTwoValuesAndWidensSameCounts) {
  // Shows per session, and the interval of their mean by hand.
  struct Case {
    std::vector<std::uint64_t> shows;
    double value, low, high;
  };
  const double t9 = 2.262157163;                        // Student's t, 9 degrees of freedom
  const double spread = t9 * std::sqrt(32.0 / 9 / 10);  // deviations -3 -1 -1 -1 0 0 2 4 0 0
  const double same = 1 - std::pow(0.025, 1.0 / 10);    // no session of 10 seen to differ
  const auto nineOfTen = *ConfidenceIntervals::wilson(9, 10);
  const auto oneOfTen = *ConfidenceIntervals::wilson(1, 10);
  const Case cases[] = {
      // Two neighbouring values only: the base plus Wilson's interval of the share above it.
      {{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, 0.9, nineOfTen.low, nineOfTen.high},
      {{2, 3, 2, 2, 2, 2, 2, 2, 2, 2}, 2.1, 2 + oneOfTen.low, 2 + oneOfTen.high},
      {{2, 4, 4, 4, 5, 5, 7, 9, 5, 5}, 5, 5 - spread, 5 + spread},
      {{3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 3, 3 - same, 3 + same},   // no spread: not the point
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 0, same},              // a rare event never seen
      {{4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0.4, 0, 0.4 + t9 * 0.4},  // s^2 = 1.6; 0.4 - 0.9 cut at 0
  };
  for (const Case& c : cases) {
    MomentSums row(SessionMoments::kQuantities);
    for (std::uint64_t shows : c.shows) row.add(std::array<std::uint64_t, 5>{0, 0, 0, shows, 0});
    const auto mean = SessionMoments::mean(row, SessionMoments::shows, c.shows.size());
    ASSERT_TRUE(mean && mean->interval) << c.value;
    EXPECT_DOUBLE_EQ(mean->value, c.value);
    EXPECT_NEAR(mean->interval->low, c.low, 1e-9) << c.value;
    EXPECT_NEAR(mean->interval->high, c.high, 1e-9) << c.value;
  }
  MomentSums few(SessionMoments::kQuantities);
  for (std::uint64_t session = 0; session + 1 < kMinSessionsForSpread; ++session) {
    few.add(std::array<std::uint64_t, 5>{0, 0, 0, session, 0});
  }
  EXPECT_EQ(SessionMoments::mean(few, SessionMoments::shows, 0), std::nullopt);
  const auto fewer = SessionMoments::mean(few, SessionMoments::shows, kMinSessionsForSpread - 1);
  ASSERT_TRUE(fewer.has_value());
  EXPECT_EQ(fewer->value, 4);
  EXPECT_EQ(fewer->interval, std::nullopt) << "too few sessions to measure a spread";
}

TEST(SessionMomentsTest, RateIntervalCountsSessionsNotRequestsAsIndependent) {
  using Q = SessionMoments::Quantity;
  auto rows = [](std::uint64_t sessions, auto fillsOf) {
    MomentSums row(SessionMoments::kQuantities);
    for (std::uint64_t i = 0; i < sessions; ++i) {
      row.add(std::array<std::uint64_t, 5>{10, fillsOf(i), 0, 0, 0});
    }
    return row;
  };
  // Sessions that fill all ten requests or none: one draw each, not ten. By hand, the delta
  // method gives p(1 - p) / Var(R) = 99 effective trials for 100 sessions.
  const auto together =
      rows(100, [](std::uint64_t i) { return std::uint64_t{i % 2 == 0 ? 10u : 0u}; });
  EXPECT_EQ(SessionMoments::rate(together, Q::fills, Q::requests, 100),
            ConfidenceIntervals::wilsonOfEffectiveTrials(0.5, 99.0));
  EXPECT_GT(widthOf(SessionMoments::rate(together, Q::fills, Q::requests, 100)),
            2 * widthOf(ConfidenceIntervals::wilson(500, 1000)));
  // Plain Wilson on the counts: too few sessions, a rate of 0 or 1, or no spread to measure.
  const struct {
    MomentSums row;
    std::uint64_t sessions, fills;
  } plain[] = {
      {rows(9, [](std::uint64_t i) { return std::uint64_t{i % 2 == 0 ? 10u : 0u}; }), 9, 50},
      {rows(100, [](std::uint64_t) { return std::uint64_t{0}; }), 100, 0},
      {rows(100, [](std::uint64_t) { return std::uint64_t{10}; }), 100, 1000},
      {rows(100, [](std::uint64_t) { return std::uint64_t{5}; }), 100, 500},
  };
  for (const auto& c : plain) {
    EXPECT_EQ(SessionMoments::rate(c.row, Q::fills, Q::requests, c.sessions),
              ConfidenceIntervals::wilson(c.fills, 10 * c.sessions))
        << c.sessions << " sessions, " << c.fills << " fills";
  }
  EXPECT_EQ(
      SessionMoments::rate(MomentSums(SessionMoments::kQuantities), Q::fills, Q::requests, 100),
      std::nullopt)
      << "no requests, no rate";
}

TEST(MomentSumsTest, CovariancesMergeExactlyAndBadInputIsRefused) {
  // (x, y) per session; covariance of x and y by hand: means 2 and 5, sum of products of
  // deviations (-1)(-2) + 0 + (1)(2) = 4, over n - 1 = 2.
  const std::vector<std::array<std::uint64_t, 2>> sessions = {{1, 3}, {2, 5}, {3, 7}};
  MomentSums all(2);
  MomentSums first(2);
  MomentSums rest(2);
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    all.add(sessions[i]);
    (i == 0 ? first : rest).add(sessions[i]);
  }
  EXPECT_NEAR(all.covariance(0, 1, 3), 2.0, 1e-12);
  EXPECT_EQ(all.product(0, 1), all.product(1, 0));
  rest.merge(first);
  EXPECT_EQ(rest, all) << "whole-number sums: parts add up to the whole, in any order";
  EXPECT_EQ(all.covariance(0, 1, 1), 0) << "one session has no covariance";

  MomentSums twoQuantities(2);
  EXPECT_THROW(twoQuantities.add(std::array<std::uint64_t, 1>{1}), std::invalid_argument);
  EXPECT_THROW(twoQuantities.merge(MomentSums(3)), std::invalid_argument);
  EXPECT_THROW(twoQuantities.add(std::array<std::uint64_t, 2>{std::uint64_t{1} << 33, 0}),
               std::overflow_error);
  MomentSums restored;
  EXPECT_FALSE(MomentSums::fromState({1, 2}, {1, 2}, restored)) << "two quantities have 3 products";
  ASSERT_TRUE(MomentSums::fromState(all.sums(), all.products(), restored));
  EXPECT_EQ(restored, all);
}

TEST(SessionMomentsTest, ASessionWithoutARowCountsAsZerosThere) {
  SessionStatistics busy;
  busy.placements["interstitial.connect"].shows = 4;
  SessionStatistics idle;  // no row at all
  SessionMoments moments;
  moments.add(busy);
  for (std::uint64_t i = 1; i < kMinSessionsForSpread; ++i) moments.add(idle);
  const auto mean = SessionMoments::mean(moments.placements.at("interstitial.connect"),
                                         SessionMoments::Quantity::shows, kMinSessionsForSpread);
  ASSERT_TRUE(mean && mean->interval);
  EXPECT_DOUBLE_EQ(mean->value, 4.0 / kMinSessionsForSpread) << "the idle ones count as 0";
  EXPECT_EQ(mean->interval->low, 0);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
