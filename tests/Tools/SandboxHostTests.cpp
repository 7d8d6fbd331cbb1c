#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Host/SandboxNarration.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SessionTimeline.h"

namespace QVRAdKit::Sandbox {
namespace {

struct HostOutcome {
  SandboxHostSummary summary;
  std::vector<std::string> narration;
  std::vector<std::string> events;
};

// Removes a store file and the files SQLite keeps beside it.
void removeStore(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix, ignored);
}

std::string temporaryStore() {
  return (std::filesystem::temp_directory_path() /
          ("qvr-host-test-" + std::to_string(std::random_device{}()) + ".sqlite"))
      .string();
}

// Runs the host; without a storage path, on a storage file of its own, removed afterwards.
HostOutcome playHost(SandboxHostOptions options) {
  std::ostringstream events;
  HostOutcome outcome;
  const bool ownStore = options.storagePath.empty();
  if (ownStore) options.storagePath = temporaryStore();
  auto reporting = std::make_shared<JsonLinesReporting>(events);
  options.reporting = reporting;
  options.narrator = [&outcome](std::string_view line) { outcome.narration.emplace_back(line); };
  auto summary = SandboxHost::run(options);
  EXPECT_FALSE(reporting->flush());
  if (ownStore) removeStore(options.storagePath);
  EXPECT_TRUE(summary.hasValue()) << (summary ? "" : summary.error().localizedDescription);
  if (summary) outcome.summary = *summary;
  std::istringstream lines(events.str());
  for (std::string line; std::getline(lines, line);) outcome.events.push_back(line);
  return outcome;
}

bool mentions(const std::vector<std::string>& lines, std::string_view text) {
  return std::ranges::any_of(lines,
                             [&](const std::string& line) { return line.find(text) != line.npos; });
}

int shownInterstitials(const SandboxHostSummary& summary) {
  int shown = 0;
  for (const auto& [placement, counts] : summary.interstitials) shown += counts.shown;
  return shown;
}

TEST(SandboxHostTest, TenMinutesShowInterstitialsAndWriteOneJsonObjectPerEvent) {
  SandboxHostOptions options;
  options.seed = 7;
  options.duration = 600;
  const HostOutcome outcome = playHost(options);
  const SandboxHostSummary& summary = outcome.summary;

  // The consent form ends the first run; the answer starts the second, which loads the ads.
  EXPECT_EQ(std::tuple(summary.simulatedSeconds, summary.consentFormShown,
                       summary.consentFormAnswered, summary.runs, summary.personalizedAds),
            std::tuple(600.0, true, true, 2, true));
  EXPECT_GE(shownInterstitials(summary), 1);
  for (const auto& [placement, counts] : summary.interstitials) {
    EXPECT_LE(counts.shown, counts.handedOut);
    EXPECT_LE(counts.handedOut, counts.granted);
  }
  ASSERT_TRUE(summary.networks.contains("admob"));
  EXPECT_GT(summary.networks.at("admob").requests, 0);

  ASSERT_EQ(outcome.events.size(), static_cast<std::size_t>(summary.events));
  int requests = 0;
  for (const std::string& line : outcome.events) {
    const auto event = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    ASSERT_TRUE(event.is_object()) << line;
    ASSERT_TRUE(event.contains("event") && event["event"].is_string()) << line;
    ASSERT_TRUE(event.contains("parameters") && event["parameters"].is_object()) << line;
    if (event["event"] == "ad_requested") ++requests;
  }
  int counted = 0;
  for (const auto& [name, network] : summary.networks) counted += network.requests;
  EXPECT_EQ(requests, counted);

  // Every narration line carries the simulated time, and never beyond the end.
  ASSERT_FALSE(outcome.narration.empty());
  for (const std::string& line : outcome.narration) {
    EXPECT_TRUE(line.size() >= 11 && line[0] == '[' && line.substr(0, 10) <= "[00:10:00]") << line;
  }
}

TEST(SandboxHostTest, SameSeedReplaysTheSameSessionAndAnotherSeedDoesNot) {
  SandboxHostOptions options;
  options.seed = 11;
  options.duration = 1800;
  const HostOutcome first = playHost(options);
  const HostOutcome again = playHost(options);
  EXPECT_EQ(first.narration, again.narration);
  EXPECT_EQ(first.summary.text(), again.summary.text());
  EXPECT_EQ(first.events, again.events) << "ads carry the same uuids, events the same times";

  // Without the summary's counts (the Monte Carlo player counts for itself), the sink receives
  // the same events, and the summary counts none.
  options.countEvents = false;
  const HostOutcome uncounted = playHost(options);
  EXPECT_EQ(uncounted.events, first.events);
  EXPECT_EQ(std::tuple(uncounted.summary.events, uncounted.summary.networks.size()),
            std::tuple(std::int64_t{0}, std::size_t{0}));

  options.seed = 12;
  EXPECT_NE(playHost(options).narration, first.narration);
}

// A stop request ends the session between two steps of the clock: what was played is the
// beginning of the whole session, to the event, and the summary covers only that.
TEST(SandboxHostTest, AStoppedSessionIsTheBeginningOfTheWholeOne) {
  SandboxHostOptions options;
  options.seed = 5;
  options.duration = 1800;
  int steps = 0;
  options.stopRequested = [&steps] {
    ++steps;
    return false;
  };
  const HostOutcome whole = playHost(options);
  ASSERT_GT(steps, 4);
  const int half = steps / 2;
  steps = 0;
  options.stopRequested = [&steps, half] { return ++steps > half; };
  const HostOutcome stopped = playHost(options);

  EXPECT_GT(stopped.summary.simulatedSeconds, 0);
  EXPECT_LT(stopped.summary.simulatedSeconds, whole.summary.simulatedSeconds);
  ASSERT_GT(stopped.events.size(), 0u);
  ASSERT_LT(stopped.events.size(), whole.events.size());
  EXPECT_EQ(stopped.events,
            std::vector<std::string>(
                whole.events.begin(),
                whole.events.begin() + static_cast<std::ptrdiff_t>(stopped.events.size())));
  ASSERT_LT(stopped.narration.size(), whole.narration.size());
  EXPECT_TRUE(
      std::equal(stopped.narration.begin(), stopped.narration.end(), whole.narration.begin()));
}

TEST(SandboxHostTest, PremiumUserAndConsentOutsideTheRegionChangeTheSession) {
  SandboxHostOptions premium;
  premium.duration = 1200;
  premium.premium = true;
  const HostOutcome noAds = playHost(premium);
  EXPECT_EQ(std::tuple(shownInterstitials(noAds.summary), noAds.summary.rewardedShown),
            std::tuple(0, 0));
  EXPECT_TRUE(noAds.summary.networks.empty());
  EXPECT_TRUE(noAds.events.empty());

  SandboxHostOptions outside;
  outside.duration = 60;
  outside.configuration.consent.region = ConsentRegion::consentNotRequired;
  const HostOutcome noForm = playHost(outside);
  EXPECT_EQ(std::tuple(noForm.summary.consentFormShown, noForm.summary.runs), std::tuple(false, 1));
  EXPECT_GT(noForm.summary.networks.at("admob").requests, 0);

  // A user who does not answer before the session ends: shown, never answered, and the summary
  // must not say otherwise.
  SandboxHostOptions slow;
  slow.duration = 60;
  slow.configuration.consent.answerLatency = 120;
  const HostOutcome unanswered = playHost(slow);
  EXPECT_EQ(std::tuple(unanswered.summary.consentFormShown, unanswered.summary.consentFormAnswered),
            std::tuple(true, false));
  EXPECT_NE(unanswered.summary.text().find("consent form shown, not answered before the end"),
            std::string::npos);
}

TEST(SandboxHostTest, UnusableStorageIsAnErrorNotASession) {
  SandboxHostOptions options;
  options.storagePath = std::filesystem::temp_directory_path().string();  // a directory
  auto summary = SandboxHost::run(options);
  ASSERT_FALSE(summary.hasValue());
  EXPECT_NE(summary.error().localizedDescription.find(options.storagePath), std::string::npos);

  // A kept store whose next session would end past the last date a store keeps is refused, not
  // started over; one that ends just in time still plays.
  const auto kept = (std::filesystem::temp_directory_path() /
                     ("qvr-host-far-" + std::to_string(std::random_device{}()) + ".sqlite"))
                        .string();
  for (const auto& [duration, plays] : {std::pair{60.0, true}, std::pair{7200.0, false}}) {
    auto store = SQLiteKeyValueStore::open(kept);
    ASSERT_TRUE(store) << store.error().localizedDescription;
    ASSERT_FALSE(SessionTimeline::recordEnd(
        **store, Platform::Date::distantFuture().addingTimeInterval(-3600 - 120)));
    SandboxHostOptions late;
    late.store = *store;
    late.duration = duration;
    auto played = SandboxHost::run(late);
    EXPECT_EQ(played.hasValue(), plays) << duration;
    if (!plays) {
      EXPECT_NE(played.error().localizedDescription.find("use a new --storage file"),
                std::string::npos)
          << played.error().localizedDescription;
    }
  }
  std::filesystem::remove(kept);
  std::filesystem::remove(kept + "-wal");
  std::filesystem::remove(kept + "-shm");
}

TEST(SandboxNarrationTest, StampsAndDurationsFitAnyLength) {
  using SandboxNarration::seconds;
  using SandboxNarration::stamp;
  EXPECT_EQ(stamp(0), "[00:00:00] ");
  EXPECT_EQ(stamp(3599.999), "[00:59:59] ");
  EXPECT_EQ(stamp(3600), "[01:00:00] ");
  EXPECT_EQ(stamp(360000), "[100:00:00] ");  // hours grow past two digits
  EXPECT_EQ(stamp(3e9), "[833333:20:00] ");
  EXPECT_EQ(stamp(1e300).substr(0, 3), "[27");  // 1e300 / 3600 hours, every digit written
  EXPECT_EQ(stamp(-5), "[00:00:00] ");
  EXPECT_EQ(stamp(std::numeric_limits<double>::quiet_NaN()), "[00:00:00] ");
  EXPECT_EQ(seconds(95.9), "95s");
  EXPECT_EQ(seconds(-0.5), "0s");
  EXPECT_EQ(seconds(3e9), "3000000000s");              // beyond int
  EXPECT_EQ(seconds(1e20), "100000000000000000000s");  // beyond int64
  EXPECT_EQ(seconds(std::numeric_limits<double>::infinity()), "?s");
}

// Periods of three billion seconds (beyond int) run through the narration and the summary
// without an out-of-range conversion (the suite runs under UndefinedBehaviorSanitizer).
TEST(SandboxSessionTest, PeriodsOfBillionsOfSecondsAreNarratedExactly) {
  SandboxHostOptions options;
  options.configuration.consent.region = ConsentRegion::consentNotRequired;
  SandboxSessionProfile& profile = options.configuration.session;
  profile.disconnected = {3e9, 3e9};
  profile.connected = {3e9, 3e9};
  profile.background = {3e9, 3e9};
  profile.backgroundChance = 1;
  profile.rewardedChance = 0;
  profile.appLaunchTimeout = 3e9;
  options.duration = 2e10;
  const HostOutcome played = playHost(options);
  EXPECT_EQ(played.summary.simulatedSeconds, 2e10);
  EXPECT_TRUE(mentions(played.narration, "app active again after 3000000000s"));
  // The first connect, three billion seconds after the launch (plus the ad's latency).
  EXPECT_TRUE(mentions(played.narration, "[833333:20:03] connect -> interstitial"));
  EXPECT_NE(played.summary.text().find("Summary: 333333333 simulated minutes"), std::string::npos);
}

// A rewarded video pauses ads; the pause is kept in the store, so a second run over the same
// store grants no interstitial while it lasts, and a run over a fresh store does.
TEST(SandboxSessionTest, TheAdsPauseOfARewardSurvivesIntoTheNextRun) {
  SandboxHostOptions options;
  options.seed = 3;
  options.duration = 3600;
  options.storagePath = temporaryStore();
  options.configuration.consent.region = ConsentRegion::consentNotRequired;
  options.configuration.session.rewardedChance = 1;
  options.configuration.session.pauseAfterReward = 1e6;

  const HostOutcome first = playHost(options);
  ASSERT_GE(first.summary.rewardsEarned, 1);
  EXPECT_TRUE(mentions(first.narration, "ads paused for 1000000s"));
  ASSERT_TRUE(first.summary.adsPauseRemaining.has_value());
  EXPECT_GT(*first.summary.adsPauseRemaining, 1e6 - 3600);

  options.configuration.session.rewardedChance = 0;
  const HostOutcome second = playHost(options);
  int granted = 0;
  int withheld = 0;
  for (const auto& [placement, counts] : second.summary.interstitials) {
    granted += counts.granted;
    withheld += counts.withheld;
    EXPECT_EQ(counts.shown, 0);
  }
  EXPECT_EQ(granted, 0);
  EXPECT_GT(withheld, 0);
  EXPECT_EQ(second.summary.rewardsEarned, 0);
  EXPECT_TRUE(mentions(second.narration, "interstitial granted, withheld: ads paused for another"));
  EXPECT_NE(second.summary.text().find("Interstitials withheld while ads were paused: "),
            std::string::npos);

  removeStore(options.storagePath);
  options.storagePath.clear();  // a fresh store
  const HostOutcome fresh = playHost(options);
  int freshGranted = 0;
  for (const auto& [placement, counts] : fresh.summary.interstitials) {
    freshGranted += counts.granted;
    EXPECT_EQ(counts.withheld, 0);
  }
  EXPECT_GT(freshGranted, 0);
  EXPECT_FALSE(fresh.summary.adsPauseRemaining.has_value());
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
