#include "Sandbox/MonteCarlo/LatencyHistogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace QVRAdKit::Sandbox {
namespace {

// The exact nearest-rank percentile of samples.
std::int64_t exactPercentile(std::vector<std::int64_t> samples, int percent) {
  std::sort(samples.begin(), samples.end());
  const std::size_t rank = (static_cast<std::size_t>(percent) * samples.size() + 99) / 100;
  return samples[rank - 1];
}

TEST(LatencyHistogramTest, NearestRankAtTheBoundariesIsExactBelow128) {
  LatencyHistogram none;
  EXPECT_EQ(none.percentile(50), std::nullopt);

  LatencyHistogram one;
  one.add(42);
  for (int percent : {1, 50, 90, 99, 100}) EXPECT_EQ(one.percentile(percent), 42) << percent;

  LatencyHistogram two;
  two.add(90);
  two.add(10);
  EXPECT_EQ(two.percentile(50), 10) << "rank ceil(0.5 * 2) = 1: the lower sample";
  EXPECT_EQ(two.percentile(51), 90);

  // Ten samples 10, 20, ..., 100, added out of order.
  LatencyHistogram ten;
  for (int value : {70, 10, 100, 40, 90, 20, 60, 30, 80, 50}) ten.add(value);
  EXPECT_EQ(ten.percentile(90), 90) << "rank 9 of 10";
  EXPECT_EQ(ten.percentile(91), 100);
  EXPECT_EQ(ten.percentile(10), 10);
  EXPECT_EQ(ten.percentile(11), 20);
  EXPECT_EQ(ten.percentile(0), std::nullopt);
  EXPECT_EQ(ten.percentile(101), std::nullopt);
}

// Buckets tile the durations without gap or overlap, each within the stated relative width.
TEST(LatencyHistogramTest, BucketsTileEveryDurationWithinTheStatedError) {
  std::int64_t next = 0;
  for (std::uint32_t bucket = 0; bucket <= LatencyHistogram::lastBucket(); ++bucket) {
    const auto [low, high] = LatencyHistogram::rangeOf(bucket);
    ASSERT_EQ(low, next) << "bucket " << bucket;
    ASSERT_LE(low, high);
    EXPECT_EQ(LatencyHistogram::bucketOf(low), bucket);
    EXPECT_EQ(LatencyHistogram::bucketOf(high), bucket);
    const std::int64_t middle = low + (high - low) / 2;
    EXPECT_LE(static_cast<double>(high - middle),
              LatencyHistogram::kRelativeError * static_cast<double>(low) + 0.5)
        << "bucket " << bucket;
    if (high == std::numeric_limits<std::int64_t>::max()) {
      EXPECT_EQ(bucket, LatencyHistogram::lastBucket());
      break;
    }
    next = high + 1;
  }
  EXPECT_EQ(LatencyHistogram::bucketOf(-5), 0u) << "a clock gone backwards counts as 0";
  EXPECT_LT(LatencyHistogram::lastBucket(), 4000u) << "any 64-bit duration in a few thousand";
}

// Against the exact percentiles of known data: skewed latencies from 1 ms to a minute.
TEST(LatencyHistogramTest, PercentilesStayWithinTheStatedRelativeErrorOfExactOnes) {
  std::mt19937_64 random(7);
  std::lognormal_distribution<double> latency(6.5, 1.2);  // median ~665 ms
  std::vector<std::int64_t> samples;
  LatencyHistogram histogram;
  for (int i = 0; i < 20000; ++i) {
    const auto value = std::clamp<std::int64_t>(std::llround(latency(random)), 1, 60000);
    samples.push_back(value);
    histogram.add(value);
  }
  for (int percent = 1; percent <= 100; ++percent) {
    const auto exact = exactPercentile(samples, percent);
    const auto estimated = histogram.percentile(percent);
    ASSERT_TRUE(estimated.has_value());
    EXPECT_LE(std::abs(static_cast<double>(*estimated - exact)),
              LatencyHistogram::kRelativeError * static_cast<double>(exact))
        << "p" << percent << ": exact " << exact << ", estimated " << *estimated;
    if (exact < LatencyHistogram::kExactBelow) {
      EXPECT_EQ(*estimated, exact);
    }
  }
  EXPECT_LT(histogram.bucketCount(), 700u) << "memory bounded by the range, not by 20000 samples";
}

TEST(LatencyHistogramTest, MergingPartsIsExactlyTheWholeInAnyOrder) {
  std::vector<LatencyHistogram> parts(4);
  LatencyHistogram whole;
  for (std::int64_t i = 0; i < 4000; ++i) {
    const std::int64_t value = (i * 7919) % 30000;
    parts[static_cast<std::size_t>(i % 4)].add(value);
    whole.add(value);
  }
  parts[2].add(5, 0);  // no samples, no bucket
  LatencyHistogram forward;
  for (const auto& part : parts) forward.merge(part);
  LatencyHistogram backward;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) backward.merge(*part);
  EXPECT_EQ(forward, whole);
  EXPECT_EQ(backward, whole);
  EXPECT_EQ(forward.buckets(), whole.buckets());
  EXPECT_EQ(whole.sampleCount(), 4000u);
}

// A histogram reused for the next session (cleared, keeping its memory) and one merged with
// itself must hold exactly what a fresh one would.
TEST(LatencyHistogramTest, ClearedOrSelfMergedHoldsWhatAFreshOneWould) {
  const std::vector<std::int64_t> first = {20000, 5, 300, 300, 70000};
  const std::vector<std::int64_t> second = {900, 3, 900, 12};
  LatencyHistogram reused;
  for (std::int64_t value : first) reused.add(value);
  reused.clear();
  EXPECT_EQ(reused, LatencyHistogram());
  EXPECT_EQ(reused.percentile(50), std::nullopt);
  LatencyHistogram fresh;
  for (std::int64_t value : second) {
    reused.add(value);
    fresh.add(value);
  }
  EXPECT_EQ(reused, fresh);
  EXPECT_EQ(reused.percentile(100), fresh.percentile(100));

  LatencyHistogram doubled;
  for (std::int64_t value : second) doubled.add(value, 2);
  reused.merge(reused);
  EXPECT_EQ(reused, doubled);
  EXPECT_EQ(reused.sampleCount(), 2 * second.size());
}

// A part merged into large totals, sparse or holding every bucket of their range: all of its
// buckets already there, one new, a few new ones (several between the same two held buckets, and
// past the last), or more new ones than are put in by place, among buckets already there.
TEST(LatencyHistogramTest, APartMergesIntoLargeTotalsAsIntoOneHistogram) {
  const std::vector<std::vector<std::int64_t>> parts = {
      {37, 370, 370},
      {37, 999999, 3700},
      {1, 36, 37, 38, 2, 500000, 999999, 39},
      {1, 2, 3, 37, 4, 5, 6, 7, 8, 74, 9, 10, 999999}};
  for (const std::int64_t stride : {37, 1}) {
    for (const auto& part : parts) {
      LatencyHistogram totals;
      LatencyHistogram whole;
      for (std::int64_t i = 0; i < 200; ++i) {
        totals.add(i * stride);
        whole.add(i * stride);
      }
      LatencyHistogram small;
      for (std::int64_t value : part) {
        small.add(value);
        whole.add(value);
      }
      totals.merge(small);
      EXPECT_EQ(totals, whole) << "stride " << stride << ", part " << part[1];
    }
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
