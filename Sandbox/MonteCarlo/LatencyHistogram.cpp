#include "Sandbox/MonteCarlo/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace QVRAdKit::Sandbox {
namespace {

constexpr int kExactBits =
    std::bit_width(static_cast<std::uint64_t>(LatencyHistogram::kExactBelow - 1));
constexpr int kSubBits =
    std::bit_width(static_cast<std::uint64_t>(LatencyHistogram::kSubBuckets - 1));
static_assert(LatencyHistogram::kExactBelow == std::int64_t{1} << kExactBits);
static_assert(LatencyHistogram::kSubBuckets == std::int64_t{1} << kSubBits);
static_assert(kExactBits == kSubBits + 1, "the first split octave continues the exact buckets");

}  // namespace

std::uint32_t LatencyHistogram::bucketOf(std::int64_t milliseconds) {
  const auto value = static_cast<std::uint64_t>(std::max<std::int64_t>(0, milliseconds));
  if (value < static_cast<std::uint64_t>(kExactBelow)) return static_cast<std::uint32_t>(value);
  // value in [2^e, 2^(e+1)), e >= kExactBits: kSubBuckets buckets of width 2^(e - kSubBits).
  const int exponent = static_cast<int>(std::bit_width(value)) - 1;
  const int shift = exponent - kSubBits;
  const std::uint64_t sub = (value >> shift) - static_cast<std::uint64_t>(kSubBuckets);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(kExactBelow) +
                                    static_cast<std::uint64_t>(exponent - kExactBits) *
                                        static_cast<std::uint64_t>(kSubBuckets) +
                                    sub);
}

std::pair<std::int64_t, std::int64_t> LatencyHistogram::rangeOf(std::uint32_t bucket) {
  if (bucket < kExactBelow) return {bucket, bucket};
  const std::uint32_t above = bucket - static_cast<std::uint32_t>(kExactBelow);
  const int exponent = static_cast<int>(above / kSubBuckets) + kExactBits;
  const int shift = exponent - kSubBits;
  const std::uint64_t sub = above % kSubBuckets + static_cast<std::uint64_t>(kSubBuckets);
  const std::uint64_t low = sub << shift;
  const std::uint64_t high = low + ((std::uint64_t{1} << shift) - 1);
  return {static_cast<std::int64_t>(low), static_cast<std::int64_t>(high)};
}

std::uint32_t LatencyHistogram::lastBucket() {
  return bucketOf(std::numeric_limits<std::int64_t>::max());
}

void LatencyHistogram::add(std::int64_t milliseconds, std::uint64_t count) {
  if (count == 0) return;
  const std::uint32_t bucket = bucketOf(milliseconds);
  if (bucket >= counts_.size()) counts_.resize(bucket + 1, 0);
  counts_[bucket] += count;
  samples_ += count;
}

void LatencyHistogram::merge(const LatencyHistogram& other) {
  if (other.counts_.size() > counts_.size()) counts_.resize(other.counts_.size(), 0);
  for (std::size_t i = 0; i < other.counts_.size(); ++i) counts_[i] += other.counts_[i];
  samples_ += other.samples_;
}

std::size_t LatencyHistogram::bucketCount() const {
  return static_cast<std::size_t>(
      std::count_if(counts_.begin(), counts_.end(), [](std::uint64_t c) { return c != 0; }));
}

std::vector<std::pair<std::uint32_t, std::uint64_t>> LatencyHistogram::buckets() const {
  std::vector<std::pair<std::uint32_t, std::uint64_t>> held;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    if (counts_[i] != 0) held.emplace_back(static_cast<std::uint32_t>(i), counts_[i]);
  }
  return held;
}

std::optional<std::int64_t> LatencyHistogram::percentile(int percent) const {
  if (samples_ == 0 || percent < 1 || percent > 100) return std::nullopt;
  // ceil(percent * n / 100) in whole numbers, so that no rounding of a fraction moves the rank.
  const std::uint64_t rank = (static_cast<std::uint64_t>(percent) * samples_ + 99) / 100;
  std::uint64_t seen = 0;
  std::size_t bucket = 0;
  for (; bucket + 1 < counts_.size(); ++bucket) {
    seen += counts_[bucket];
    if (seen >= rank) break;
  }
  const auto [low, high] = rangeOf(static_cast<std::uint32_t>(bucket));
  return low + (high - low) / 2;
}

}  // namespace QVRAdKit::Sandbox
