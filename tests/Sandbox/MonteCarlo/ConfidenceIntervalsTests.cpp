#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "Sandbox/MonteCarlo/MomentSums.h"
#include "Sandbox/MonteCarlo/SessionMoments.h"

namespace QVRAdKit::Sandbox {
namespace {

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

TEST(SessionMomentsTest, MeanPerSessionUsesTheSampleStandardDeviationCutAtZero) {
  // Shows per session, and the interval of their mean by hand.
  struct Case {
    std::vector<std::uint64_t> shows;
    double value, low, high;
  };
  const double spread = kZ95 * std::sqrt(32.0 / 7 / 8);  // 2, 4, 4, 4, 5, 5, 7, 9: s^2 = 32 / 7
  const double twoSessions = kZ95 * std::sqrt(8.0 / 2);  // 4 and 0: s^2 = 8
  const Case cases[] = {
      {{2, 4, 4, 4, 5, 5, 7, 9}, 5, 5 - spread, 5 + spread},
      {{3, 3, 3, 3}, 3, 3, 3},                      // no spread: the point
      {{4, 0}, 2, 0, 2 + twoSessions},              // 2 - 3.9 cut at 0: a count's mean
      {{0, 0, 0, 1}, 0.25, 0, 0.25 + kZ95 * 0.25},  // s^2 = 0.25, cut as well
  };
  for (const Case& c : cases) {
    MomentSums row(SessionMoments::kQuantities);
    for (std::uint64_t shows : c.shows) row.add(std::array<std::uint64_t, 5>{0, 0, 0, shows, 0});
    const auto mean = SessionMoments::mean(row, SessionMoments::shows, c.shows.size());
    ASSERT_TRUE(mean && mean->interval) << c.shows.size() << " sessions";
    EXPECT_DOUBLE_EQ(mean->value, c.value);
    EXPECT_NEAR(mean->interval->low, c.low, 1e-12) << c.value;
    EXPECT_NEAR(mean->interval->high, c.high, 1e-12) << c.value;
  }
  MomentSums one(SessionMoments::kQuantities);
  one.add(std::array<std::uint64_t, 5>{0, 0, 0, 3, 0});
  EXPECT_EQ(SessionMoments::mean(one, SessionMoments::shows, 0), std::nullopt);
  const auto single = SessionMoments::mean(one, SessionMoments::shows, 1);
  ASSERT_TRUE(single.has_value());
  EXPECT_EQ(single->value, 3);
  EXPECT_EQ(single->interval, std::nullopt) << "one session has no spread to measure";
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
  moments.add(idle);
  const auto mean = SessionMoments::mean(moments.placements.at("interstitial.connect"),
                                         SessionMoments::Quantity::shows, 2);
  ASSERT_TRUE(mean && mean->interval);
  EXPECT_EQ(mean->value, 2);
  EXPECT_EQ(mean->interval->low, 0) << "two sessions 4 and 0: the idle one counts as 0";
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
