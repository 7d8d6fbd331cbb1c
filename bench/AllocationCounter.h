#pragma once
// Counts heap allocations in a benchmark program that links AllocationCounter.cpp: it replaces the
// global operator new to bump a counter, and AllocationScope reports the allocations made per
// iteration of a benchmark loop as its "allocs" counter.
// Threading: the counter is atomic; a scope belongs to one benchmark run.

#include <benchmark/benchmark.h>

#include <cstdint>

namespace QVRAdKit::bench {

// Allocations made through the global operator new since the program started.
std::uint64_t allocationCount() noexcept;

class AllocationScope {
 public:
  explicit AllocationScope(benchmark::State& state) : state_(state), start_(allocationCount()) {}
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;
  ~AllocationScope() {
    const auto made = static_cast<double>(allocationCount() - start_);
    state_.counters["allocs"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
  }

 private:
  benchmark::State& state_;
  std::uint64_t start_;
};

}  // namespace QVRAdKit::bench
