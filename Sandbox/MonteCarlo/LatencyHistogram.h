#pragma once
// LatencyHistogram counts load durations (whole milliseconds) in log-spaced buckets, so that its
// memory is bounded by the range of the durations (at most a few thousand buckets for any 64-bit
// value, a few hundred for the seconds a load takes), never by their number. Durations below
// kExactBelow milliseconds have a bucket each; above, every power of two is split into
// kSubBuckets buckets of equal width, so a bucket spans at most 1/kSubBuckets of its lower bound.
// A percentile reports the middle of its bucket: at most kRelativeError (1/128, under 0.8%) away
// from the exact sample at that rank, and exact below kExactBelow.
//
// Counts are whole numbers, so histograms of several sessions (or of several processes) merge
// exactly by adding counts: the merge of parts is equal, bucket for bucket, to one histogram of
// all their samples, in any order of merging.
//
// Percentiles follow the nearest-rank rule: of n samples sorted ascending, the p-th percentile
// (p a whole percent from 1 to 100) is the sample at 1-based rank ceil(p * n / 100), reported as
// its bucket's middle. Without samples there is no percentile.
// Example:
//   LatencyHistogram latency;
//   latency.add(120);
//   latency.add(4800);
//   latency.percentile(50);  // 120 (exact below 128)
//   latency.percentile(100); // 4800 +- 0.8%
// Threading: a value; not shared between threads while written.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace QVRAdKit::Sandbox {

class LatencyHistogram {
 public:
  static constexpr std::int64_t kExactBelow = 128;
  static constexpr std::int64_t kSubBuckets = 64;
  static constexpr double kRelativeError = 1.0 / 128;

  // Counts one sample (or count samples) of milliseconds; negative values count as 0.
  void add(std::int64_t milliseconds, std::uint64_t count = 1);
  void merge(const LatencyHistogram& other);
  // Forgets every sample; the memory stays for the next ones.
  void clear() {
    buckets_.clear();
    samples_ = 0;
  }

  [[nodiscard]] std::uint64_t sampleCount() const { return samples_; }
  // Buckets holding samples: what the histogram's memory grows with.
  [[nodiscard]] std::size_t bucketCount() const;
  // The nearest-rank percentile (its bucket's middle); none without samples or for percent
  // outside 1..100.
  [[nodiscard]] std::optional<std::int64_t> percentile(int percent) const;

  // The bucket of a duration, and the durations a bucket holds (inclusive): the shard format
  // stores bucket indices.
  [[nodiscard]] static std::uint32_t bucketOf(std::int64_t milliseconds);
  [[nodiscard]] static std::pair<std::int64_t, std::int64_t> rangeOf(std::uint32_t bucket);
  // The highest bucket index there is (that of the largest 64-bit duration).
  [[nodiscard]] static std::uint32_t lastBucket();

  // Non-empty buckets in index order, as (index, count): the mergeable state.
  [[nodiscard]] const std::vector<std::pair<std::uint32_t, std::uint64_t>>& buckets() const {
    return buckets_;
  }

  bool operator==(const LatencyHistogram&) const = default;

 private:
  // The non-empty buckets only, as (index, count) in index order: a session's few dozen loads
  // take a few dozen entries, whatever the range of their durations, and equal contents compare
  // equal.
  std::vector<std::pair<std::uint32_t, std::uint64_t>> buckets_;
  std::uint64_t samples_ = 0;
};

}  // namespace QVRAdKit::Sandbox
