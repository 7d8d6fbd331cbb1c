// One interstitial's whole life through the module on the scripted network: the load answered,
// the ad taken from its builder (which requests a replacement), presented, opened and closed,
// with its analytics events: its request (made by the previous round's take), loaded, opened and
// viewed, so four per round in steady state. The scripted network's own bookkeeping is included
// in the time.

#include <benchmark/benchmark.h>

#include <memory>

#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"

namespace QVRAdKit {
namespace {

// Counts events and keeps nothing, so that memory stays flat over millions of iterations.
class CountingReporting final : public QVReporting {
 public:
  void track(const ReportingObject& event) override {
    ++count;
    benchmark::DoNotOptimize(event.parameters.data());
  }
  std::int64_t count = 0;
};

void BM_InterstitialLife(benchmark::State& state) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto gma = Sandbox::GoogleMobileAdsSandbox::install(*env);
  gma->setRetainsAds(false);
  auto users = std::make_shared<Sandbox::SandboxUserService>(Sandbox::SandboxUser::make(false));
  auto reporting = std::make_shared<CountingReporting>();
  auto builder = InterstitialAdBuilderV2::create(*env, users, reporting,
                                                 InterstitialAdPlacement::connect, AdSource::adMob);
  builder->update({"unit"});
  builder->start();
  env->mainQueue().runUntilIdle();
  auto viewController = std::make_shared<Platform::ViewController>();
  auto request = gma->requests().back().id;

  for (auto _ : state) {
    gma->fill(request);
    auto ad = builder->getAd();
    const auto next = request + 1;  // the replacement's request
    ad->present(viewController);
    gma->willPresent(request);
    gma->willDismiss(request);
    gma->dismiss(request);
    ad.reset();
    gma->forgetFinishedRequests();
    request = next;
  }
  state.counters["events/life"] = benchmark::Counter(static_cast<double>(reporting->count) /
                                                     static_cast<double>(state.iterations()));
}
BENCHMARK(BM_InterstitialLife);

}  // namespace
}  // namespace QVRAdKit
