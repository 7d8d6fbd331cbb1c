// Cost of one full waterfall round: drop the cache, load every key on the main queue (one ad per
// key, one restart of the loading aggregate), then take the first loaded ad; and of one key's
// change (a taken ad replaced by a fresh one), which must not grow with the number of keys.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Builders/WaterfallService.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/BehaviorSubject.h"

namespace {

using namespace QVRAdKit;

// An ad that is loaded as soon as it exists.
class InstantAd final : public WaterfallableAd {
 public:
  bool isFailed() const override { return false; }
  bool isLoaded() const override { return true; }
  Rx::Observable<bool> isLoadingStream() const override {
    return loading_.asObservable().distinctUntilChanged();
  }

 private:
  Rx::BehaviorSubject<bool> loading_{false};
};

// A waterfall of instant ads over keys unit-0 ... unit-(count-1).
std::shared_ptr<WaterfallService<InstantAd>> instantWaterfall(Platform::Environment& env,
                                                              std::int64_t count,
                                                              std::vector<std::string>& keys) {
  auto waterfall = WaterfallService<InstantAd>::create(
      env, [](const std::string&) { return std::make_shared<InstantAd>(); });
  for (std::int64_t i = 0; i < count; ++i) keys.push_back("unit-" + std::to_string(i));
  waterfall->setAdKeys(keys);
  return waterfall;
}

void BM_WaterfallLoadAndTake(benchmark::State& state) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  std::vector<std::string> keys;
  auto waterfall = instantWaterfall(*env, state.range(0), keys);
  auto subscription = waterfall->isLoadingRelay().distinctUntilChanged().subscribe(
      [](const bool& loading) { benchmark::DoNotOptimize(loading); });

  for (auto _ : state) {
    waterfall->resetCache();
    waterfall->load();
    env->mainQueue().runUntilIdle();
    auto ad = waterfall->takeLoadedAd();
    benchmark::DoNotOptimize(ad);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_WaterfallLoadAndTake)->Arg(1)->Arg(8)->Arg(32)->Arg(128);

// One key's change with every key holding an ad: a fresh ad replaces the one under a key, and the
// loading aggregate follows.
void BM_WaterfallKeyChange(benchmark::State& state) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  std::vector<std::string> keys;
  auto waterfall = instantWaterfall(*env, state.range(0), keys);
  waterfall->resetCache();
  waterfall->load();
  env->mainQueue().runUntilIdle();
  auto subscription = waterfall->isLoadingRelay().distinctUntilChanged().subscribe(
      [](const bool& loading) { benchmark::DoNotOptimize(loading); });

  std::size_t next = 0;
  for (auto _ : state) {
    waterfall->createAd(keys[next]);
    next = next + 1 == keys.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_WaterfallKeyChange)->Arg(1)->Arg(8)->Arg(32)->Arg(128);

}  // namespace
