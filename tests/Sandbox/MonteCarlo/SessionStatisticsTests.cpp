#include "Sandbox/MonteCarlo/SessionStatistics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace QVRAdKit::Sandbox {
namespace {

SessionStatistics withPlacements(std::initializer_list<std::pair<const char*, std::int64_t>> rows) {
  SessionStatistics statistics;
  for (const auto& [name, requests] : rows) {
    SessionStatistics::Row& row = statistics.placements[name];
    row.requests = static_cast<std::uint64_t>(requests);
    row.loadLatency.add(requests * 100);
    statistics.networks[std::string("net-") + name].fills = static_cast<std::uint64_t>(requests);
  }
  return statistics;
}

// A session's rows land on the totals' rows of the same name and new names are added in place,
// before, between and after those held; merging with itself doubles every row.
TEST(SessionStatisticsTest, RowsMergeByNameWhereverTheNewOnesFall) {
  SessionStatistics totals = withPlacements({{"b", 1}, {"d", 2}, {"f", 3}});
  totals.merge(withPlacements({{"a", 10}, {"b", 20}, {"c", 30}, {"e", 40}, {"f", 50}, {"g", 60}}));
  const SessionStatistics expected = [] {
    SessionStatistics each = withPlacements({{"b", 1}, {"d", 2}, {"f", 3}});
    const SessionStatistics part =
        withPlacements({{"a", 10}, {"b", 20}, {"c", 30}, {"e", 40}, {"f", 50}, {"g", 60}});
    for (const auto& [name, row] : part.placements) each.placements[name].merge(row);
    for (const auto& [name, row] : part.networks) each.networks[name].merge(row);
    return each;
  }();
  EXPECT_EQ(totals, expected);
  EXPECT_EQ(totals.placements.size(), 7u);
  EXPECT_EQ(totals.placements.at("b").requests, 21u);
  EXPECT_EQ(totals.placements.at("b").loadLatency.sampleCount(), 2u);
  EXPECT_EQ(totals.networks.at("net-f").fills, 53u);

  SessionStatistics empty;
  empty.merge(totals);
  EXPECT_EQ(empty, totals);
  totals.merge(SessionStatistics{});
  EXPECT_EQ(totals, expected);

  totals.merge(totals);
  EXPECT_EQ(totals.placements.size(), 7u);
  EXPECT_EQ(totals.placements.at("g").requests, 120u);
  EXPECT_EQ(totals.networks.at("net-d").fills, 4u);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
