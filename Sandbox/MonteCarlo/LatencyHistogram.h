#pragma once
// LatencyHistogram counts load durations by whole millisecond, so that a session's percentiles
// are exact while its memory grows with the number of distinct durations (bounded by the
// simulated networks' latency range), never with the number of loads. Histograms of several
// sessions merge by adding counts, which gives the percentiles of all their samples pooled.
//
// Percentiles follow the nearest-rank rule: of n samples sorted ascending, the p-th percentile
// (p a whole percent from 1 to 100) is the sample at 1-based rank ceil(p * n / 100). So one sample
// is every percentile of itself; of two samples p50 is the lower and p51..p100 the higher; of ten
// samples p90 is the ninth. Without samples there is no percentile.
// Example:
//   LatencyHistogram latency;
//   latency.add(120);
//   latency.add(480);
//   latency.percentile(50);  // 120
// Threading: a value; not shared between threads while written.

#include <cstdint>
#include <map>
#include <optional>

namespace QVRAdKit::Sandbox {

class LatencyHistogram {
 public:
  // Counts one sample (or count samples) of milliseconds; negative values count as 0.
  void add(std::int64_t milliseconds, std::uint64_t count = 1);
  void merge(const LatencyHistogram& other);

  [[nodiscard]] std::uint64_t sampleCount() const { return samples_; }
  // Distinct durations held: what the histogram's memory grows with.
  [[nodiscard]] std::size_t bucketCount() const { return counts_.size(); }
  // The nearest-rank percentile; none without samples or for percent outside 1..100.
  [[nodiscard]] std::optional<std::int64_t> percentile(int percent) const;

  bool operator==(const LatencyHistogram&) const = default;

 private:
  std::map<std::int64_t, std::uint64_t> counts_;
  std::uint64_t samples_ = 0;
};

}  // namespace QVRAdKit::Sandbox
