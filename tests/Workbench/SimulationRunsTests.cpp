#include "Workbench/SimulationRuns.h"

#include <gtest/gtest.h>

#include <atomic>

namespace QVRAdKit::Workbench {
namespace {

using Clock = std::chrono::steady_clock;

Sandbox::MonteCarloRunner::Options longRun() {
  Sandbox::MonteCarloRunner::Options options;
  options.sessions = Sandbox::MonteCarloRunner::kMaxSessions;
  options.duration = 7 * 24 * 3600;
  return options;
}

SimulationRuns::Status waitForEnd(SimulationRuns& runs, const std::string& id) {
  for (int attempt = 0; attempt < 10000000; ++attempt) {
    auto status = runs.status(id);
    if (!status || status->state != SimulationRuns::State::running) return *status;
    std::this_thread::yield();
  }
  ADD_FAILURE() << "run " << id << " did not end";
  return {};
}

TEST(SimulationRuns, ARunWhosePageStopsAskingIsAbandoned) {
  // Every reading of this clock is further past the last one than the limit of silence: the
  // page's questions never come often enough.
  const auto step = SimulationRuns::Limits{}.abandonAfter + std::chrono::seconds(1);
  std::atomic<Clock::rep> readings{0};
  SimulationRuns runs(
      {}, [&readings, step] { return Clock::time_point(step * (readings.fetch_add(1) + 1)); });
  const auto id = runs.start(longRun());
  ASSERT_TRUE(id);
  const auto status = waitForEnd(runs, *id);
  EXPECT_EQ(status.state, SimulationRuns::State::abandoned);
  ASSERT_TRUE(status.report);
  EXPECT_TRUE(status.report->stopped);
}

TEST(SimulationRuns, StopAllCancelsEveryRunAndRefusesNewOnes) {
  SimulationRuns::Limits limits;
  limits.maxActive = 2;
  const Clock::time_point still{};
  SimulationRuns runs(limits, [still] { return still; });
  const auto first = runs.start(longRun());
  const auto second = runs.start(longRun());
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(runs.start(longRun()));
  runs.stopAll();
  EXPECT_EQ(runs.status(*first)->state, SimulationRuns::State::cancelled);
  EXPECT_EQ(runs.status(*second)->state, SimulationRuns::State::cancelled);
  EXPECT_FALSE(runs.start(longRun()));
  EXPECT_FALSE(runs.status("99"));
  EXPECT_FALSE(runs.cancel("99"));
}

TEST(SimulationRuns, ForgetsTheOldestEndedRunsBeyondTheLimit) {
  SimulationRuns::Limits limits;
  limits.maxKept = 2;
  SimulationRuns runs(limits);
  std::vector<std::string> ids;
  for (int index = 0; index < 3; ++index) {
    Sandbox::MonteCarloRunner::Options options;
    options.duration = 60;
    ids.push_back(*runs.start(options));
    EXPECT_EQ(waitForEnd(runs, ids.back()).state, SimulationRuns::State::done);
  }
  auto another = runs.start(Sandbox::MonteCarloRunner::Options{});
  ASSERT_TRUE(another);
  EXPECT_FALSE(runs.status(ids[0]));
  EXPECT_FALSE(runs.status(ids[1]));
  EXPECT_TRUE(runs.status(ids[2]));
}

// Results made elsewhere (merged shards) are kept as ended runs: they never count as under way,
// and count toward the runs kept, the oldest ended ones forgotten first, never the one just added
// nor a run under way.
TEST(SimulationRuns, AddedResultsAreEndedRunsKeptWithinTheLimit) {
  SimulationRuns::Limits limits;
  limits.maxActive = 1;
  // Fewer than the runs there are: the one just added is kept all the same.
  limits.maxKept = 1;
  const Clock::time_point still{};
  SimulationRuns runs(limits, [still] { return still; });
  const auto running = runs.start(longRun());
  ASSERT_TRUE(running);
  Sandbox::MonteCarloReport report;
  report.firstSeed = 5;
  report.sessions = 3;
  report.comparison.emplace();
  const std::string first = runs.add(report, 4);
  const auto status = runs.status(first);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->state, SimulationRuns::State::done);
  EXPECT_EQ(status->done, 3u);
  EXPECT_EQ(status->total, 4u);
  EXPECT_TRUE(status->comparison);
  ASSERT_TRUE(status->report);
  EXPECT_EQ(*status->report, report);
  EXPECT_FALSE(runs.cancel("99"));
  EXPECT_TRUE(runs.cancel(first));
  EXPECT_EQ(runs.status(first)->state, SimulationRuns::State::done) << "nothing to cancel";

  // The one under way and the newest added are kept; the older added one goes.
  const std::string second = runs.add(Sandbox::MonteCarloReport{}, 1);
  EXPECT_NE(second, first);
  EXPECT_FALSE(runs.status(first));
  EXPECT_TRUE(runs.status(second));
  EXPECT_EQ(runs.status(*running)->state, SimulationRuns::State::running);
  // The one under way alone counts toward the limit of runs under way.
  EXPECT_FALSE(runs.start(longRun()));
  runs.stopAll();
  EXPECT_EQ(runs.status(second)->state, SimulationRuns::State::done);
}

}  // namespace
}  // namespace QVRAdKit::Workbench
