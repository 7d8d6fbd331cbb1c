// One change of partner banner content through the whole banner: the host's user stream emits a
// user whose partner ad has another title; the partner ads provider reloads and publishes the
// model; the interactor reports the view record, shapes the view model with the partner's
// appearance and hands it over; the view updates its content and look and tells the host's
// listener; then the layout pass runs at a phone's width. Two users alternate, so every
// iteration is a real change (repeats would be dropped before the view); the NewTitles variant
// goes round 64 titles instead, so no change repeats a recent one.
// Run: qvradkit_bench --benchmark_filter=Banner --benchmark_repetitions=5
//        --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QVRAdKit/Banner/BannerAdBuilder.h"
#include "QVRAdKit/Banner/PartnerAdsProvider.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Banner/SampleBannerStyle.h"
#include "Sandbox/HostServices/SandboxConnectionService.h"
#include "Sandbox/HostServices/SandboxPartnerAd.h"
#include "Sandbox/HostServices/SandboxUser.h"
#include "Sandbox/HostServices/SandboxUserService.h"

namespace QVRAdKit {
namespace {

// Counts records and keeps nothing.
class CountingSink final : public UCRSink {
 public:
  void report(const ReportingObject& record) override {
    ++count;
    benchmark::DoNotOptimize(record.parameters.data());
  }
  std::int64_t count = 0;
};

class CountingListener final : public BannerAdListener {
 public:
  void bannerAdDidClick() override {}
  void bannerAdDidClose() override {}
  void bannerAdDidChangeVisibility(bool isHidden) override { changes += isHidden ? 0 : 1; }
  std::int64_t changes = 0;
};

class PartnerLook final : public BannerAppearanceProvider {
 public:
  [[nodiscard]] std::optional<BannerAppearance> appearance(
      std::optional<PartnerAdName> name) const override {
    if (!name) return std::nullopt;
    BannerAppearance look = Sandbox::SampleBannerStyle::partnerLook();
    look.cta = BannerAppearance::CTA(BannerCTAType::accessoryIcon);
    return look;
  }
};

QVUserPtr userWithOffer(const std::string& title) {
  Sandbox::SandboxPartnerAd::Fields fields;
  fields.iconUrl = Platform::URL::string("https://cdn.example/kd.png").value();
  fields.title = title;
  fields.subtitle = "Start your free trial";
  fields.isCloseEnabled = true;
  fields.enabledState = 1;
  fields.partnerName = "kd_free_trial_2022";
  return std::make_shared<Sandbox::SandboxUser>(
      false, std::vector{Sandbox::SandboxPartnerAd::make(fields)});
}

// Changes of partner content, one after another through the users given (in a ring).
void runBannerChanges(benchmark::State& state, const std::vector<QVUserPtr>& users) {
  auto env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope(*env);
  auto sink = std::make_shared<CountingSink>();
  env->setService<UCRSink>(sink);
  auto userService = std::make_shared<Sandbox::SandboxUserService>(users[0]);
  auto connection = std::make_shared<Sandbox::SandboxConnectionService>();
  auto listener = std::make_shared<CountingListener>();
  auto banner = BannerAdBuilder(PartnerAdsProvider::create(userService, connection),
                                std::make_shared<PartnerLook>())
                    .buildBannerAd(listener);
  banner->apply(Sandbox::SampleBannerStyle::style());
  banner->setSafeAreaInsets({0, 0, 34, 0});
  banner->setFrame({{0, 0}, {375, 120}});
  banner->layoutIfNeeded();

  std::size_t next = 1;
  for (auto _ : state) {
    userService->setUser(users[next]);
    banner->layoutIfNeeded();
    next = (next + 1) % users.size();
    // Image loads and fades are main-queue tasks: keep the queue from growing.
    env->mainQueue().runUntilIdle();
  }
  if (listener->changes != static_cast<std::int64_t>(state.iterations()) + 1) {
    state.SkipWithError("a change did not reach the host's listener");
  }
  state.counters["records/change"] = benchmark::Counter(static_cast<double>(sink->count - 1) /
                                                        static_cast<double>(state.iterations()));
}

void BM_BannerModelChange(benchmark::State& state) {
  runBannerChanges(state, {userWithOffer("Get 7 days of Premium free\nNo card needed"),
                           userWithOffer("Premium for a week, on us\nCancel any time")});
}
BENCHMARK(BM_BannerModelChange);

// Every change brings a title not seen in the last 63 changes, longer or shorter by a few
// characters, so nothing kept from an earlier change of the same title can answer.
void BM_BannerModelChangeNewTitles(benchmark::State& state) {
  std::vector<QVUserPtr> users;
  for (int i = 0; i < 64; ++i) {
    users.push_back(userWithOffer("Get " + std::to_string(i + 2) + std::string(i % 7, '!') +
                                  " days of Premium free\nNo card needed"));
  }
  runBannerChanges(state, users);
}
BENCHMARK(BM_BannerModelChangeNewTitles);

}  // namespace
}  // namespace QVRAdKit
