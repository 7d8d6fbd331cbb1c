#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/MonteCarlo/StatisticsReporting.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kErrorDomain = "QVRAdKit.Sandbox.MonteCarlo";

std::string placementName(std::string_view kind, std::string_view placement) {
  return std::string(kind) + "." + std::string(placement);
}

// Adds the host's side of a session: the moments it had for an ad, the ads that opened and the
// rewards earned, on every configured placement (so that an idle one still shows as a row).
void addHostMoments(const SandboxConfiguration& configuration, const SandboxHostSummary& summary,
                    SessionStatistics& statistics) {
  const AdsConfig& ads = configuration.ads;
  for (const auto& [placement, config] : ads.interstitialPlacements()) {
    statistics.placements[placementName("interstitial", caseName(placement))];
  }
  for (const auto& [placement, config] : ads.appOpenPlacements()) {
    statistics.placements[placementName("appOpen", caseName(placement))];
  }
  for (const auto& [placement, config] : ads.rewardedPlacements()) {
    statistics.placements[placementName("rewarded", caseName(placement))];
  }
  for (const auto& [placement, counts] : summary.interstitials) {
    if (counts.granted == 0 && counts.shown == 0) continue;
    auto& row = statistics.placements[placementName("interstitial", caseName(placement))];
    row.opportunities += static_cast<std::uint64_t>(counts.granted);
    row.shows += static_cast<std::uint64_t>(counts.shown);
  }
  for (const auto& [placement, wanted] : summary.appOpenWanted) {
    const auto shown = summary.appOpenShown.find(placement);
    const int shows = shown == summary.appOpenShown.end() ? 0 : shown->second;
    if (wanted == 0 && shows == 0) continue;
    auto& row = statistics.placements[placementName("appOpen", caseName(placement))];
    row.opportunities += static_cast<std::uint64_t>(wanted);
    row.shows += static_cast<std::uint64_t>(shows);
  }
  if (summary.rewardedOffered != 0 || summary.rewardedShown != 0 || summary.rewardsEarned != 0) {
    const std::string name = placementName("rewarded", caseName(RewardedAdPlacement::timewall));
    auto& row = statistics.placements[name];
    row.opportunities += static_cast<std::uint64_t>(summary.rewardedOffered);
    row.shows += static_cast<std::uint64_t>(summary.rewardedShown);
    row.rewards += static_cast<std::uint64_t>(summary.rewardsEarned);
    const auto& rewarded = ads.rewardedPlacements();
    if (const auto found = rewarded.find(RewardedAdPlacement::timewall); found != rewarded.end()) {
      const bool adMob = found->second.source() == AdSource::adMob;
      statistics.networks[adMob ? "admob" : "ironsource"].rewards +=
          static_cast<std::uint64_t>(summary.rewardsEarned);
    }
  }
}

// What one seed played: its session under the configuration, and under the candidate if any.
struct SeedResult {
  SessionStatistics a;
  std::optional<SessionStatistics> b;
};

// Plays one seed's session, or its pair of sessions.
Platform::Expected<SeedResult> playSeed(const MonteCarloRunner::Options& options,
                                        std::uint64_t seed) {
  auto a =
      MonteCarloRunner::runSession(options.configuration, seed, options.duration, options.premium);
  if (!a) return a.error();
  SeedResult result{std::move(a).value(), std::nullopt};
  if (options.candidate) {
    auto b =
        MonteCarloRunner::runSession(*options.candidate, seed, options.duration, options.premium);
    if (!b) return b.error();
    result.b = std::move(b).value();
  }
  return result;
}

// Collects the sessions' results as they end, on any thread, and merges them in seed order.
class Aggregator {
 public:
  Aggregator(std::uint64_t total, std::function<void(std::uint64_t, std::uint64_t)> progress)
      : total_(total), progress_(std::move(progress)) {}

  void add(std::uint64_t index, Platform::Expected<SeedResult> result) {
    std::lock_guard lock(mutex_);
    if (!result) {
      if (!error_ || index < errorIndex_) {
        error_ = result.error();
        errorIndex_ = index;
      }
      failed_.store(true);
      return;
    }
    waiting_.emplace(index, std::move(result).value());
    for (auto next = waiting_.find(merged_); next != waiting_.end();
         next = waiting_.find(merged_)) {
      const SeedResult& seed = next->second;
      totals_.merge(seed.a);
      perSession_.add(seed.a);
      if (seed.b) {
        if (!comparison_) comparison_.emplace();
        comparison_->add(seed.a, *seed.b);
      }
      waiting_.erase(next);
      ++merged_;
    }
    ++done_;
    if (progress_) progress_(done_, total_);
  }

  [[nodiscard]] bool failed() const { return failed_.load(); }
  // How many sessions, from the first seed on without a gap, are in the totals.
  [[nodiscard]] std::uint64_t merged() {
    std::lock_guard lock(mutex_);
    return merged_;
  }
  [[nodiscard]] const std::optional<Platform::Error>& error() const { return error_; }
  [[nodiscard]] SessionStatistics& totals() { return totals_; }
  [[nodiscard]] SessionMoments& perSession() { return perSession_; }
  [[nodiscard]] std::optional<PairedComparison>& comparison() { return comparison_; }

 private:
  const std::uint64_t total_;
  const std::function<void(std::uint64_t, std::uint64_t)> progress_;
  std::mutex mutex_;
  std::map<std::uint64_t, SeedResult> waiting_;
  SessionStatistics totals_;
  SessionMoments perSession_;
  std::optional<PairedComparison> comparison_;
  std::uint64_t merged_ = 0;
  std::uint64_t done_ = 0;
  std::optional<Platform::Error> error_;
  std::uint64_t errorIndex_ = 0;
  std::atomic<bool> failed_{false};
};

}  // namespace

std::optional<std::string> MonteCarloRunner::problem(const Options& options) {
  if (options.sessions < 1 || options.sessions > kMaxSessions) {
    return "--sessions: must be from 1 to " + std::to_string(kMaxSessions) + ", found " +
           std::to_string(options.sessions);
  }
  if (options.jobs < 1 || options.jobs > kMaxJobs) {
    return "--jobs: must be from 1 to " + std::to_string(kMaxJobs) + ", found " +
           std::to_string(options.jobs);
  }
  return std::nullopt;
}

Platform::Expected<SessionStatistics> MonteCarloRunner::runSession(
    const SandboxConfiguration& configuration, std::uint64_t seed, Platform::TimeInterval duration,
    bool premium) {
  auto statistics = std::make_shared<StatisticsReporting>(configuration.ads);
  SandboxHostOptions options;
  options.configuration = configuration;
  options.seed = seed;
  options.duration = duration;
  options.premium = premium;
  options.storagePath = std::string(SQLiteKeyValueStore::kInMemoryPath);
  options.reporting = statistics;
  options.backgroundThreads = Platform::BackgroundExecutor::kDrainedByHand;
  auto summary = SandboxHost::run(options);
  if (!summary) return summary.error();
  SessionStatistics result = statistics->statistics();
  addHostMoments(configuration, *summary, result);
  return result;
}

Platform::Expected<MonteCarloReport> MonteCarloRunner::run(const Options& options) {
  if (auto reason = problem(options)) {
    return Platform::Error{kErrorDomain, 1, *reason};
  }
  Aggregator aggregator(options.sessions, options.progress);
  std::atomic<std::uint64_t> next{0};
  const auto stopping = [&options] { return options.stopRequested && options.stopRequested(); };
  auto work = [&] {
    for (std::uint64_t index = next++;
         index < options.sessions && !aggregator.failed() && !stopping(); index = next++) {
      aggregator.add(index, playSeed(options, options.firstSeed + index));
    }
  };
  const auto jobs = static_cast<unsigned>(std::min<std::uint64_t>(options.jobs, options.sessions));
  if (jobs <= 1) {
    work();
  } else {
    std::vector<std::jthread> threads;
    threads.reserve(jobs);
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(work);
  }
  if (aggregator.error()) return *aggregator.error();

  MonteCarloReport report;
  report.sessions = aggregator.merged();
  report.stopped = report.sessions < options.sessions;
  report.firstSeed = options.firstSeed;
  report.sessionSeconds = std::max(0.0, options.duration);
  report.totals = std::move(aggregator.totals());
  report.perSession = std::move(aggregator.perSession());
  report.comparison = std::move(aggregator.comparison());
  // A comparison that played no seed still says it is one.
  if (options.candidate && !report.comparison) report.comparison.emplace();
  return report;
}

}  // namespace QVRAdKit::Sandbox
