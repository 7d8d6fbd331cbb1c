// Throughput of the sandbox in Monte Carlo mode: whole sessions of the default configuration (two
// simulated hours each, seeds 1, 2, ...), as a job of MonteCarloRunner plays them (one
// SessionPlayer reused across the sessions), with the module's ad
// requests counted per CPU-second of the process (every thread, the sessions' background
// executors included). A second benchmark plays one long session, where the per-session set-up no
// longer counts.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "Sandbox/MonteCarlo/SessionPlayer.h"

namespace QVRAdKit::Sandbox {
namespace {

void playSessions(benchmark::State& state, Platform::TimeInterval duration) {
  SessionPlayer player(SandboxConfiguration::defaults(), duration, false);
  std::uint64_t seed = 1;
  std::uint64_t requests = 0;
  std::uint64_t sessions = 0;
  for (auto _ : state) {
    auto statistics = player.play(seed++);
    if (!statistics) {
      state.SkipWithError(statistics.error().localizedDescription.c_str());
      return;
    }
    for (const auto& [name, row] : statistics->networks) requests += row.requests;
    ++sessions;
  }
  state.counters["requests/CPU-s"] =
      benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
  state.counters["requests/session"] =
      benchmark::Counter(static_cast<double>(requests) / static_cast<double>(sessions));
}

void BM_MonteCarloSessions(benchmark::State& state) {
  playSessions(state, 2 * 3600);
}
BENCHMARK(BM_MonteCarloSessions)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_OneLongSession(benchmark::State& state) {
  playSessions(state, 200 * 3600);
}
BENCHMARK(BM_OneLongSession)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace QVRAdKit::Sandbox
