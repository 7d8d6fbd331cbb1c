// How fast the workbench answers what a person waits for: the check of the default
// configuration (the checker and the page's problem places, alone and through the server on
// loopback, as the page asks while one types), a 1,000-seed paired comparison of the default
// configuration with itself on one job (2,000 two-hour sessions), and one session's picture and
// a snapshot on it. Also a large configuration, checked alone and with every problem's place:
// thousands of ad units no placement uses, one warning each, as the page sends it (indented).

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Workbench/SessionJson.h"
#include "Workbench/SessionTrace.h"
#include "Workbench/WorkbenchJson.h"
#include "Workbench/WorkbenchServer.h"

namespace QVRAdKit::Workbench {
namespace {

const std::string kDefaultText(Sandbox::kDefaultSandboxConfigurationJson);

void BM_CheckDefaultConfiguration(benchmark::State& state) {
  for (auto _ : state) {
    const auto check = Sandbox::SandboxConfigurationCheck::ofText(kDefaultText);
    benchmark::DoNotOptimize(WorkbenchJson::check(kDefaultText, check).dump());
  }
}
BENCHMARK(BM_CheckDefaultConfiguration)->Unit(benchmark::kMicrosecond);

// The default configuration with count more ad units, which no placement uses, indented.
std::string withUnusedUnits(std::int64_t count) {
  auto configuration = nlohmann::json::parse(kDefaultText);
  auto& units = configuration["simulation"]["adMob"]["adUnits"];
  for (std::int64_t unit = 0; unit < count; ++unit) {
    std::string name = "u";
    units[name.append(std::to_string(unit))] = nlohmann::json::object();
  }
  return configuration.dump(2);
}

void BM_CheckUnusedUnits(benchmark::State& state) {
  const std::string text = withUnusedUnits(state.range(0));
  for (auto _ : state) {
    const auto check = Sandbox::SandboxConfigurationCheck::ofText(text);
    if (check.warnings.size() != static_cast<std::size_t>(state.range(0))) {
      state.SkipWithError("not one warning per unit");
      break;
    }
    benchmark::DoNotOptimize(check.warnings);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CheckUnusedUnits)
    ->Unit(benchmark::kMillisecond)
    ->Arg(2500)
    ->Arg(10000)
    ->Arg(40000)
    ->Complexity();

// The same with the place of every warning in the text, as /api/check answers.
void BM_CheckUnusedUnitsWithPlaces(benchmark::State& state) {
  const std::string text = withUnusedUnits(state.range(0));
  for (auto _ : state) {
    const auto check = Sandbox::SandboxConfigurationCheck::ofText(text);
    benchmark::DoNotOptimize(WorkbenchJson::check(text, check).dump());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CheckUnusedUnitsWithPlaces)
    ->Unit(benchmark::kMillisecond)
    ->Arg(2500)
    ->Arg(10000)
    ->Arg(40000)
    ->Complexity();

// The page's request on a kept connection: parsing, the guards, the check and the answer.
void BM_CheckDefaultConfigurationOverHttp(benchmark::State& state) {
  WorkbenchServer::Options options;
  options.port = 0;
  options.configurationText = kDefaultText;
  WorkbenchServer server(options);
  if (auto problem = server.start()) {
    state.SkipWithError(problem->c_str());
    return;
  }
  httplib::Client client("127.0.0.1", server.port());
  client.set_keep_alive(true);
  // As a browser does: without it, the request's header and body writes wait on a delayed ACK.
  client.set_tcp_nodelay(true);
  const httplib::Headers headers = {{WorkbenchServer::kTokenHeader, server.token()}};
  const std::string body = nlohmann::json{{"configuration", kDefaultText}}.dump();
  for (auto _ : state) {
    auto answer = client.Post("/api/check", headers, body, "application/json");
    if (!answer || answer->status != 200) {
      state.SkipWithError("the check was not answered");
      break;
    }
    benchmark::DoNotOptimize(answer->body);
  }
  server.stop();
}
BENCHMARK(BM_CheckDefaultConfigurationOverHttp)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What the page's Compare starts with: 1,000 seeds of two hours, A and B the default
// configuration, one job.
void BM_CompareDefaultConfigurations1000Seeds(benchmark::State& state) {
  Sandbox::MonteCarloRunner::Options options;
  options.sessions = 1000;
  options.jobs = 1;
  options.duration = 7200;
  options.candidate = options.configuration;
  for (auto _ : state) {
    auto report = Sandbox::MonteCarloRunner::run(options);
    if (!report) {
      state.SkipWithError(report.error().localizedDescription.c_str());
      return;
    }
    benchmark::DoNotOptimize(report->comparison->sessions());
  }
}
BENCHMARK(BM_CompareDefaultConfigurations1000Seeds)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_SessionPicture(benchmark::State& state) {
  const auto configuration = Sandbox::SandboxConfiguration::defaults();
  for (auto _ : state) {
    auto picture = SessionTrace::play(configuration, 7, 7200);
    if (!picture) {
      state.SkipWithError(picture.error().localizedDescription.c_str());
      return;
    }
    benchmark::DoNotOptimize(SessionJson::picture(*picture).dump());
  }
}
BENCHMARK(BM_SessionPicture)->Unit(benchmark::kMillisecond);

void BM_SessionSnapshotHalfway(benchmark::State& state) {
  const auto configuration = Sandbox::SandboxConfiguration::defaults();
  for (auto _ : state) {
    auto snapshot = SessionTrace::snapshotAt(configuration, 7, 7200, 3600);
    if (!snapshot) {
      state.SkipWithError(snapshot.error().localizedDescription.c_str());
      return;
    }
    benchmark::DoNotOptimize(SessionJson::snapshot(3600, *snapshot).dump());
  }
}
BENCHMARK(BM_SessionSnapshotHalfway)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace QVRAdKit::Workbench
