#pragma once
// Short Monte Carlo runs played in-process, and the shards a run over those seeds would write:
// what the merge tests, on the command line and in the workbench, start from.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/TrialShard.h"

namespace QVRAdKit::Testing {

// Twenty-minute sessions from firstSeed on; a comparison's candidate differs in its rewarded
// chance.
inline Sandbox::MonteCarloReport playTrials(std::uint64_t firstSeed, std::uint64_t sessions,
                                            bool compare) {
  Sandbox::MonteCarloRunner::Options options;
  options.firstSeed = firstSeed;
  options.sessions = sessions;
  options.duration = 20 * 60;
  if (compare) {
    options.candidate = options.configuration;
    options.candidate->session.rewardedChance = 0.9;
  }
  auto report = Sandbox::MonteCarloRunner::run(options);
  EXPECT_TRUE(report.hasValue());
  return report.hasValue() ? std::move(report).value() : Sandbox::MonteCarloReport{};
}

// The shard a run asked for seeds up to last writes, under the given tool version.
inline Sandbox::TrialShard shardOf(Sandbox::MonteCarloReport report, std::uint64_t last,
                                   bool compare, const std::string& toolVersion) {
  Sandbox::TrialShard shard;
  shard.toolVersion = toolVersion;
  shard.configuration = Sandbox::TrialShard::fingerprint("A");
  if (compare) shard.candidate = Sandbox::TrialShard::fingerprint("B");
  shard.requestedFirst = report.firstSeed;
  shard.requestedLast = last;
  shard.report = std::move(report);
  return shard;
}

}  // namespace QVRAdKit::Testing
