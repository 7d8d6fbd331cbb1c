// The same pipelines as RxBench.cpp built with RxCpp, for comparison: n behaviour subjects
// combined with combine_latest into "any true", fed into another behaviour subject. Built only
// when RxCpp's headers are found (cmake/RxBench.cmake); the library never depends on RxCpp.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <thread>
#include <utility>
#include <vector>

#include <rxcpp/rx.hpp>

#include "AllocationCounter.h"

namespace QVRAdKit::bench {
namespace {

using Subject = rxcpp::subjects::behavior<bool>;

std::vector<Subject> makeInputs(std::size_t count) {
  std::vector<Subject> inputs;
  inputs.reserve(count);
  for (std::size_t i = 0; i < count; ++i) inputs.emplace_back(false);
  return inputs;
}

// combine_latest takes its inputs as a parameter pack, so n is a compile-time constant here.
template <std::size_t... I>
rxcpp::composite_subscription subscribeAnyTrue(std::vector<Subject>& inputs, Subject& isLoading,
                                               std::index_sequence<I...> /*indices*/) {
  auto output = isLoading.get_subscriber();
  return inputs[0]
      .get_observable()
      .combine_latest([](bool first, auto... rest) { return (first || ... || rest); },
                      inputs[I + 1].get_observable()...)
      .subscribe([output](bool any) { output.on_next(any); });
}

template <std::size_t N>
void BM_RxCpp_CombineLatestEmission(benchmark::State& state) {
  std::thread([] {}).join();
  auto inputs = makeInputs(N);
  Subject isLoading(false);
  auto subscription = subscribeAnyTrue(inputs, isLoading, std::make_index_sequence<N - 1>());
  auto first = inputs[0].get_subscriber();
  bool flip = false;
  const AllocationScope allocations(state);
  for (auto _ : state) {
    flip = !flip;
    first.on_next(flip);
  }
  benchmark::DoNotOptimize(isLoading.get_value());
  subscription.unsubscribe();
}
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestEmission, 1);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestEmission, 4);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestEmission, 16);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestEmission, 64);

template <std::size_t N>
void BM_RxCpp_CombineLatestResubscribeAndEmit(benchmark::State& state) {
  std::thread([] {}).join();
  auto inputs = makeInputs(N);
  Subject isLoading(false);
  auto first = inputs[0].get_subscriber();
  rxcpp::composite_subscription subscription;
  bool flip = false;
  const AllocationScope allocations(state);
  for (auto _ : state) {
    subscription.unsubscribe();
    subscription = subscribeAnyTrue(inputs, isLoading, std::make_index_sequence<N - 1>());
    flip = !flip;
    first.on_next(flip);
  }
  subscription.unsubscribe();
  benchmark::DoNotOptimize(isLoading.get_value());
}
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestResubscribeAndEmit, 1);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestResubscribeAndEmit, 4);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestResubscribeAndEmit, 16);
BENCHMARK_TEMPLATE(BM_RxCpp_CombineLatestResubscribeAndEmit, 64);

}  // namespace
}  // namespace QVRAdKit::bench
