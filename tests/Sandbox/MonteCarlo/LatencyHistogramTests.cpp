#include "Sandbox/MonteCarlo/LatencyHistogram.h"

#include <gtest/gtest.h>

#include <optional>

namespace QVRAdKit::Sandbox {
namespace {

TEST(LatencyHistogramTest, NearestRankAtTheBoundaries) {
  LatencyHistogram none;
  EXPECT_EQ(none.percentile(50), std::nullopt);

  LatencyHistogram one;
  one.add(420);
  for (int percent : {1, 50, 90, 100}) EXPECT_EQ(one.percentile(percent), 420) << percent;

  LatencyHistogram two;
  two.add(900);
  two.add(100);
  EXPECT_EQ(two.percentile(1), 100);
  EXPECT_EQ(two.percentile(50), 100) << "rank ceil(0.5 * 2) = 1: the lower sample";
  EXPECT_EQ(two.percentile(51), 900);
  EXPECT_EQ(two.percentile(100), 900);

  // Ten samples 10, 20, ..., 100, added out of order.
  LatencyHistogram ten;
  for (int value : {70, 10, 100, 40, 90, 20, 60, 30, 80, 50}) ten.add(value);
  EXPECT_EQ(ten.percentile(90), 90) << "rank 9 of 10";
  EXPECT_EQ(ten.percentile(91), 100);
  EXPECT_EQ(ten.percentile(50), 50);
  EXPECT_EQ(ten.percentile(10), 10);
  EXPECT_EQ(ten.percentile(11), 20);

  EXPECT_EQ(ten.percentile(0), std::nullopt);
  EXPECT_EQ(ten.percentile(101), std::nullopt);
}

TEST(LatencyHistogramTest, RepeatedValuesShareABucketAndMergingPoolsTheSamples) {
  LatencyHistogram first;
  first.add(200, 9);
  first.add(-5);  // a clock gone backwards is reported as a duration of 0
  EXPECT_EQ(first.sampleCount(), 10u);
  EXPECT_EQ(first.bucketCount(), 2u);
  EXPECT_EQ(first.percentile(10), 0);
  EXPECT_EQ(first.percentile(11), 200);
  first.add(300, 0);
  EXPECT_EQ(first.sampleCount(), 10u) << "no samples, no bucket";
  EXPECT_EQ(first.bucketCount(), 2u);

  LatencyHistogram second;
  second.add(1000, 10);
  LatencyHistogram pooled = first;
  pooled.merge(second);
  EXPECT_EQ(pooled.sampleCount(), 20u);
  EXPECT_EQ(pooled.percentile(50), 200) << "rank 10 of 20";
  EXPECT_EQ(pooled.percentile(51), 1000);
  LatencyHistogram otherOrder = second;
  otherOrder.merge(first);
  EXPECT_EQ(otherOrder, pooled);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
