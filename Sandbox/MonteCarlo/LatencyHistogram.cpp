#include "Sandbox/MonteCarlo/LatencyHistogram.h"

#include <algorithm>

namespace QVRAdKit::Sandbox {

void LatencyHistogram::add(std::int64_t milliseconds, std::uint64_t count) {
  if (count == 0) return;
  counts_[std::max<std::int64_t>(0, milliseconds)] += count;
  samples_ += count;
}

void LatencyHistogram::merge(const LatencyHistogram& other) {
  for (const auto& [milliseconds, count] : other.counts_) add(milliseconds, count);
}

std::optional<std::int64_t> LatencyHistogram::percentile(int percent) const {
  if (samples_ == 0 || percent < 1 || percent > 100) return std::nullopt;
  // ceil(percent * n / 100) in whole numbers, so that no rounding of a fraction moves the rank.
  const std::uint64_t rank = (static_cast<std::uint64_t>(percent) * samples_ + 99) / 100;
  std::uint64_t seen = 0;
  for (const auto& [milliseconds, count] : counts_) {
    seen += count;
    if (seen >= rank) return milliseconds;
  }
  return counts_.rbegin()->first;
}

}  // namespace QVRAdKit::Sandbox
