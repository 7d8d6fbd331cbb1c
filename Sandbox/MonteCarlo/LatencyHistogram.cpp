#include "Sandbox/MonteCarlo/LatencyHistogram.h"

#include <algorithm>
#include <array>
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
  samples_ += count;
  if (buckets_.empty() || buckets_.back().first < bucket) {
    buckets_.emplace_back(bucket, count);
    return;
  }
  const auto found = std::lower_bound(buckets_.begin(), buckets_.end(), bucket,
                                      [](const std::pair<std::uint32_t, std::uint64_t>& held,
                                         std::uint32_t index) { return held.first < index; });
  if (found->first == bucket) {
    found->second += count;
  } else {
    buckets_.insert(found, {bucket, count});
  }
}

namespace {

using Bucket = std::pair<std::uint32_t, std::uint64_t>;
using BucketIterator = std::vector<Bucket>::iterator;

// The first bucket at or after `from` whose index is not below `index`. Indices strictly increase,
// so it is at most (index - from's index) places after `from`: totals that have seen most
// durations hold nearly every bucket of their range, and it is then found in a step or two back
// from there. Further off, a binary search below that bound.
BucketIterator seek(BucketIterator from, BucketIterator end, std::uint32_t index) {
  if (from == end || from->first >= index) return from;
  const auto room = static_cast<std::uint64_t>(end - from);
  const auto bound =
      from + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(index - from->first, room));
  constexpr int kSteps = 4;
  auto at = bound;
  for (int step = 0; step < kSteps && at != from; ++step) {
    if ((at - 1)->first < index) return at;
    --at;
  }
  return std::lower_bound(from, at, index, [](const Bucket& held, std::uint32_t wanted) {
    return held.first < wanted;
  });
}

}  // namespace

// Buckets this histogram has take their counts in place, each found from where the previous one
// was (both lists are in index order). The places of the few buckets it lacks (a session's loads
// into totals that have seen most durations) are noted on the way, and those buckets are then put
// in from the back, so that each bucket held moves once whatever the number missing. Many (two
// large histograms) are merged in one pass from the end, in place, so merging into a histogram
// that has the room allocates nothing.
void LatencyHistogram::merge(const LatencyHistogram& other) {
  if (other.buckets_.empty()) return;
  if (&other == this) {
    for (auto& held : buckets_) held.second *= 2;
    samples_ *= 2;
    return;
  }
  samples_ += other.samples_;
  if (buckets_.empty()) {
    buckets_ = other.buckets_;
    return;
  }
  constexpr std::size_t kFewMissing = 8;
  // A missing bucket and the place, in the list as it was, of the first bucket above it.
  std::array<std::pair<std::size_t, Bucket>, kFewMissing> few;
  std::size_t missing = 0;
  auto from = buckets_.begin();
  for (const Bucket& incoming : other.buckets_) {
    from = seek(from, buckets_.end(), incoming.first);
    if (from != buckets_.end() && from->first == incoming.first) {
      from->second += incoming.second;
      continue;
    }
    if (missing < kFewMissing) {
      few[missing] = {static_cast<std::size_t>(from - buckets_.begin()), incoming};
    }
    ++missing;
  }
  if (missing == 0) return;
  if (missing <= kFewMissing) {
    // The buckets at or above the k-th missing one's place move up by k, behind it.
    std::size_t end = buckets_.size();
    buckets_.resize(end + missing);
    const auto at = [this](std::size_t index) {
      return buckets_.begin() + static_cast<std::ptrdiff_t>(index);
    };
    for (std::size_t k = missing; k > 0; --k) {
      const auto& [place, incoming] = few[k - 1];
      std::move_backward(at(place), at(end), at(end + k));
      buckets_[place + k - 1] = incoming;
      end = place;
    }
    return;
  }
  std::size_t mine = buckets_.size();
  std::size_t theirs = other.buckets_.size();
  buckets_.resize(mine + missing);
  for (std::size_t out = buckets_.size(); theirs > 0;) {
    const auto& incoming = other.buckets_[theirs - 1];
    if (mine > 0 && buckets_[mine - 1].first >= incoming.first) {
      // Held already (its count added above) or above the incoming bucket: kept as it is.
      if (buckets_[mine - 1].first == incoming.first) --theirs;
      buckets_[--out] = buckets_[--mine];
    } else {
      buckets_[--out] = incoming;
      --theirs;
    }
  }
}

std::size_t LatencyHistogram::bucketCount() const {
  return buckets_.size();
}

std::optional<std::int64_t> LatencyHistogram::percentile(int percent) const {
  if (samples_ == 0 || percent < 1 || percent > 100) return std::nullopt;
  // ceil(percent * n / 100) in whole numbers, so that no rounding of a fraction moves the rank.
  const std::uint64_t rank = (static_cast<std::uint64_t>(percent) * samples_ + 99) / 100;
  std::uint64_t seen = 0;
  for (const auto& [bucket, count] : buckets_) {
    seen += count;
    if (seen >= rank) {
      const auto [low, high] = rangeOf(bucket);
      return low + (high - low) / 2;
    }
  }
  return std::nullopt;  // not reached: the counts add up to samples_
}

}  // namespace QVRAdKit::Sandbox
