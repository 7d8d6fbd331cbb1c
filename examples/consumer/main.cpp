// A host program in miniature, built against the installed package: it installs an environment
// with a manual clock, keeps two networks' loading flags in relays, derives "any ad loading" with
// combineLatest, lets a timer on the main queue finish one load, and decides whether to wait.
// Exits 0 when every step behaved as the module promises.

#include <cstdio>
#include <vector>

#include "QVRAdKit/Config/AdsPlacement.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Rx/Rx.h"

int main() {
  using namespace QVRAdKit;
  auto environment = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*environment);

  Rx::BehaviorRelay<bool> googleLoading(true);
  Rx::BehaviorRelay<bool> ironSourceLoading(false);
  Rx::BehaviorRelay<bool> anyLoading(false);
  Rx::DisposeBag bag;
  Rx::combineLatest<bool>({googleLoading.asObservable(), ironSourceLoading.asObservable()})
      .map([](const std::vector<bool>& loading) { return loading[0] || loading[1]; })
      .bind(anyLoading)
      .disposed(bag);

  environment->mainQueue().asyncAfter(5, [&] { googleLoading.accept(false); });
  const bool waitedAtFirst = anyLoading.value();
  environment->advance(10);
  const bool waitsAfterLoad = anyLoading.value();

  const auto placement = AdsPlacement::interstitial(InterstitialAdPlacement::connect);
  const bool ok =
      waitedAtFirst && !waitsAfterLoad &&
      placement.format() == AdsPlacement::interstitial(InterstitialAdPlacement::appLaunch).format();
  std::printf("loading before: %d, after: %d -> %s\n", waitedAtFirst, waitsAfterLoad,
              ok ? "ok" : "unexpected");
  return ok ? 0 : 1;
}
