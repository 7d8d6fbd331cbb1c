// Cost of one full waterfall round: drop the cache, load every key on the main queue (one ad and
// one re-subscription of the loading aggregate per key), then take the first loaded ad.
#include <benchmark/benchmark.h>

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

void BM_WaterfallLoadAndTake(benchmark::State& state) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto waterfall = WaterfallService<InstantAd>::create(
      [](const std::string&) { return std::make_shared<InstantAd>(); });
  std::vector<std::string> keys;
  for (int i = 0; i < state.range(0); ++i) keys.push_back("unit-" + std::to_string(i));
  waterfall->setAdKeys(keys);
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

BENCHMARK(BM_WaterfallLoadAndTake)->Arg(1)->Arg(8)->Arg(32);

}  // namespace
