// Reactive-stream costs on the module's hot paths: a relay emission to one subscriber, and the
// waterfall's loading aggregate, re-subscribed on every cache change and then emitting once.
// Each benchmark first starts and joins a thread, so shared_ptr reference counts are atomic as in
// the real host, and reports heap allocations per iteration ("allocs") from a global counter.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "QVRAdKit/Rx/Rx.h"

namespace QVRAdKit::Rx {
namespace {

bool anyTrue(const std::vector<bool>& all) {
  return std::any_of(all.begin(), all.end(), [](bool v) { return v; });
}

void BM_BehaviorRelayAcceptToOneSubscriber(benchmark::State& state) {
  std::thread([] {}).join();
  BehaviorRelay<int> relay(0);
  int sum = 0;
  auto subscription = relay.asObservable().subscribe([&](int v) { sum += v; });
  int value = 0;
  const bench::AllocationScope allocations(state);
  for (auto _ : state) relay.accept(++value);
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_BehaviorRelayAcceptToOneSubscriber);

// Re-subscribes the any-true aggregate over n loading relays into a relay, as the waterfall does
// after each cache change, then lets one input emit.
void BM_CombineLatestResubscribeAndEmit(benchmark::State& state) {
  std::thread([] {}).join();
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<std::unique_ptr<BehaviorRelay<bool>>> inputs;
  std::vector<Observable<bool>> streams;
  for (std::size_t i = 0; i < count; ++i) {
    inputs.push_back(std::make_unique<BehaviorRelay<bool>>(false));
    streams.push_back(inputs.back()->asObservable().distinctUntilChanged());
  }
  BehaviorRelay<bool> isLoading(false);
  DisposeBag bag;
  bool flip = false;
  const bench::AllocationScope allocations(state);
  for (auto _ : state) {
    bag = DisposeBag();
    combineLatest(streams).map(anyTrue).catchAndReturn(false).bind(isLoading).disposed(bag);
    flip = !flip;
    inputs.front()->accept(flip);
  }
  benchmark::DoNotOptimize(isLoading.value());
}
BENCHMARK(BM_CombineLatestResubscribeAndEmit)->Arg(1)->Arg(4)->Arg(16)->Arg(64);

// One emission through an established aggregate over n inputs.
void BM_CombineLatestEmission(benchmark::State& state) {
  std::thread([] {}).join();
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<std::unique_ptr<BehaviorRelay<bool>>> inputs;
  std::vector<Observable<bool>> streams;
  for (std::size_t i = 0; i < count; ++i) {
    inputs.push_back(std::make_unique<BehaviorRelay<bool>>(false));
    streams.push_back(inputs.back()->asObservable());
  }
  BehaviorRelay<bool> isLoading(false);
  auto binding = combineLatest(streams).map(anyTrue).bind(isLoading);
  bool flip = false;
  const bench::AllocationScope allocations(state);
  for (auto _ : state) {
    flip = !flip;
    inputs.front()->accept(flip);
  }
  benchmark::DoNotOptimize(isLoading.value());
}
BENCHMARK(BM_CombineLatestEmission)->Arg(1)->Arg(4)->Arg(16)->Arg(64);

}  // namespace
}  // namespace QVRAdKit::Rx
