#include "Sandbox/MonteCarlo/ShardMerge.h"

#include <algorithm>

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kMergeErrorDomain = "QVRAdKit.Sandbox.ShardMerge";

std::string seeds(std::uint64_t first, std::uint64_t last) {
  return first == last ? "seed " + std::to_string(first)
                       : "seeds " + std::to_string(first) + " to " + std::to_string(last);
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// What two shards must share to be parts of one run; none when they do.
std::vector<std::string> mismatches(const ShardMerge::Named& first, const ShardMerge::Named& other,
                                    const std::string& toolVersion) {
  std::vector<std::string> problems;
  const TrialShard& a = first.shard;
  const TrialShard& b = other.shard;
  const std::string pair = other.origin + " and " + first.origin;
  if (b.toolVersion != toolVersion) {
    problems.push_back(other.origin + ": written by qvr-sandbox " + b.toolVersion + ", this is " +
                       toolVersion + ": run the shard again with this version");
  }
  if (b.configuration != a.configuration) {
    problems.push_back(pair + " ran different configurations (" + b.configuration + " and " +
                       a.configuration + ")");
  }
  if (b.candidate != a.candidate) {
    problems.push_back(pair + " compared different candidates (" + b.candidate.value_or("none") +
                       " and " + a.candidate.value_or("none") + ")");
  }
  if (b.report.sessionSeconds != a.report.sessionSeconds) {
    problems.push_back(pair + " ran sessions of different lengths");
  }
  if (b.premium != a.premium) problems.push_back(pair + " differ in --premium");
  return problems;
}

}  // namespace

Platform::Expected<MonteCarloReport> ShardMerge::merge(std::vector<Named> shards,
                                                       const std::string& toolVersion) {
  if (shards.empty()) return Platform::Error{kMergeErrorDomain, 2, "no shard to merge"};
  std::vector<std::string> problems;
  if (shards.front().shard.toolVersion != toolVersion) {
    problems.push_back(shards.front().origin + ": written by qvr-sandbox " +
                       shards.front().shard.toolVersion + ", this is " + toolVersion +
                       ": run the shard again with this version");
  }
  for (std::size_t i = 1; i < shards.size(); ++i) {
    for (auto& problem : mismatches(shards.front(), shards[i], toolVersion)) {
      problems.push_back(std::move(problem));
    }
  }
  if (!problems.empty()) {
    std::string joined;
    for (const auto& problem : problems) joined += (joined.empty() ? "" : "\n") + problem;
    return Platform::Error{kMergeErrorDomain, 2, joined};
  }

  // In seed order; the seeds a shard played (none when it played none).
  std::stable_sort(shards.begin(), shards.end(), [](const Named& a, const Named& b) {
    return a.shard.report.firstSeed < b.shard.report.firstSeed;
  });
  const Named* previous = nullptr;
  for (const Named& named : shards) {
    const MonteCarloReport& report = named.shard.report;
    if (report.sessions == 0) continue;
    const std::uint64_t last = report.firstSeed + report.sessions - 1;
    if (previous) {
      const MonteCarloReport& before = previous->shard.report;
      const std::uint64_t beforeLast = before.firstSeed + before.sessions - 1;
      if (report.firstSeed <= beforeLast) {
        problems.push_back(named.origin + " and " + previous->origin + " both played " +
                           seeds(report.firstSeed, std::min(last, beforeLast)) +
                           ": a seed may count once");
      } else if (report.firstSeed > beforeLast + 1) {
        problems.push_back(seeds(beforeLast + 1, report.firstSeed - 1) +
                           " are missing: no shard played them (between " +
                           quoted(previous->origin) + " and " + quoted(named.origin) + ")");
      }
    }
    if (!previous ||
        last > previous->shard.report.firstSeed + previous->shard.report.sessions - 1) {
      previous = &named;
    }
  }
  if (!problems.empty()) {
    std::string joined;
    for (const auto& problem : problems) joined += (joined.empty() ? "" : "\n") + problem;
    return Platform::Error{kMergeErrorDomain, 2, joined};
  }

  MonteCarloReport merged;
  merged.sessionSeconds = shards.front().shard.report.sessionSeconds;
  merged.firstSeed = shards.front().shard.requestedFirst;
  bool anyPlayed = false;
  for (const Named& named : shards) {
    const MonteCarloReport& report = named.shard.report;
    merged.stopped = merged.stopped || report.stopped;
    if (named.shard.candidate && !merged.comparison) merged.comparison.emplace();
    if (report.sessions == 0) continue;
    if (!anyPlayed) merged.firstSeed = report.firstSeed;
    anyPlayed = true;
    merged.sessions += report.sessions;
    merged.totals.merge(report.totals);
    merged.perSession.merge(report.perSession);
    if (report.comparison) merged.comparison->merge(*report.comparison);
  }
  return merged;
}

}  // namespace QVRAdKit::Sandbox
