#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "QVRAdKit/Platform/ManualClock.h"
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

// One interstitial count, summed over the placements.
using Counts = SandboxHostSummary::Interstitials;
int total(const SandboxHostSummary& summary, int Counts::*count) {
  int sum = 0;
  for (const auto& [placement, counts] : summary.interstitials) sum += counts.*count;
  return sum;
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
  EXPECT_GE(total(summary, &Counts::shown), 1);
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

  EXPECT_TRUE(stopped.summary.stopped);
  EXPECT_FALSE(whole.summary.stopped);
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
  EXPECT_EQ(std::tuple(total(noAds.summary, &Counts::shown), noAds.summary.rewardedShown),
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
  const std::string kept = temporaryStore();
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
  removeStore(kept);
}

// What a process killed at this moment leaves of a store: every commit is in the database or its
// write-ahead log (the shared-memory index is rebuilt on open).
void copyStore(const std::string& from, const std::string& to) {
  removeStore(to);
  for (const char* suffix : {"", "-wal"}) {
    if (std::filesystem::exists(from + suffix)) {
      std::filesystem::copy_file(from + suffix, to + suffix);
    }
  }
}

SandboxHostOptions rewardingOptions(const std::string& storagePath) {
  SandboxHostOptions options;
  options.seed = 4;
  options.storagePath = storagePath;
  options.configuration.consent.region = ConsentRegion::consentNotRequired;
  options.configuration.session.rewardedChance = 1;
  options.configuration.session.pauseAfterReward = 900;
  return options;
}

// A session killed part-way leaves its data, pauses included, written at simulated moments far
// past where it started: the next run on the store starts after the last of them, says so, and so
// finds those pauses expired, whether or not an earlier session on the store ended.
TEST(SandboxHostTest, AfterAKilledSessionTheStoreResumesWhereItWasLeft) {
  for (const bool earlierSession : {false, true}) {
    SCOPED_TRACE(earlierSession ? "after a session that ended" : "on a new store");
    const std::string live = temporaryStore();
    const std::string left = temporaryStore();
    auto options = rewardingOptions(live);
    if (earlierSession) {
      options.duration = 600;
      (void)playHost(options);
    }
    // Two hours into a day: the moment copied is what a kill then leaves on disk.
    options.duration = 86400;
    options.inspectAt = {7200};
    options.inspector = [&](Platform::TimeInterval, const AdsServiceSnapshot&) {
      copyStore(live, left);
    };
    const HostOutcome killed = playHost(options);
    // A pause was saved before the copy: the old rewound clock would have found it still on.
    const auto firstPause = std::ranges::find_if(killed.narration, [](const std::string& line) {
      return line.find("ads paused for 900s") != line.npos;
    });
    ASSERT_NE(firstPause, killed.narration.end());
    EXPECT_LT(*firstPause, "[02:00:00]");
    {
      auto store = SQLiteKeyValueStore::open(left);
      ASSERT_TRUE(store) << store.error().localizedDescription;
      const auto timeline = SessionTimeline::lastSession(**store);
      ASSERT_TRUE(timeline) << timeline.error().localizedDescription;
      const auto& last = timeline.value();
      ASSERT_TRUE(last.has_value());
      EXPECT_FALSE(last->ended);
      // Its last write was made within the two hours copied, after the day's first reward.
      const auto started =
          (*store)->value(SessionTimeline::kNamespace, SessionTimeline::kSessionStartedKey);
      ASSERT_TRUE(started && std::holds_alternative<Platform::Date>(*started));
      const Platform::Date start = std::get<Platform::Date>(*started);
      EXPECT_GT(last->at, start);
      EXPECT_LE(last->at, start.addingTimeInterval(7200));
    }

    auto next = rewardingOptions(left);
    next.duration = 3600;
    next.configuration.session.rewardedChance = 0;
    const HostOutcome resumed = playHost(next);
    ASSERT_FALSE(resumed.narration.empty());
    EXPECT_TRUE(resumed.narration.front().starts_with(
        "[00:00:00] the last session on this store did not end: it was stopped at simulated "))
        << resumed.narration.front();
    EXPECT_NE(resumed.narration.front().find("; resuming after it at simulated "),
              std::string::npos)
        << resumed.narration.front();
    // Every 900-second pause the killed session saved ended within its two hours; an hour later
    // none holds an ad back.
    EXPECT_EQ(total(resumed.summary, &Counts::withheld), 0);
    EXPECT_FALSE(resumed.summary.adsPauseRemaining.has_value());
    EXPECT_FALSE(mentions(resumed.narration, "ads paused for another"));

    // That session ended: the one after it resumes as after any other.
    const HostOutcome after = playHost(next);
    ASSERT_FALSE(after.narration.empty());
    EXPECT_TRUE(after.narration.front().starts_with("[00:00:00] resuming the kept store at "))
        << after.narration.front();
    removeStore(live);
    removeStore(left);
  }
}

// Which moment a store resumes after, from what its last session left: its end, or, when it never
// ended, the latest of its start and its last write (an earlier session's end included).
TEST(SessionTimelineTest, TheLastSessionIsWhereTheStoreWasLeft) {
  const Platform::Date t0(1'800'000'000);
  const auto at = [t0](double seconds) { return t0.addingTimeInterval(seconds); };
  struct Case {
    const char* name;
    std::optional<double> started, written, ended;
    std::optional<std::pair<double, bool>> expected;  // moment, ended
  };
  const Case cases[] = {
      {"a new store", {}, {}, {}, {}},
      {"ended", {}, {}, 100.0, std::pair{100.0, true}},
      {"ended, written before its end", {}, 50.0, 100.0, std::pair{100.0, true}},
      {"killed before any write", 200.0, {}, 100.0, std::pair{200.0, false}},
      {"killed after writing", 200.0, 900.0, 100.0, std::pair{900.0, false}},
      {"killed on a new store", 0.0, 7000.0, {}, std::pair{7000.0, false}},
      {"killed, last write from an earlier session", 200.0, 50.0, 100.0, std::pair{200.0, false}},
      {"written without a start", {}, 300.0, {}, std::pair{300.0, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto store = SQLiteKeyValueStore::open(std::string(SQLiteKeyValueStore::kInMemoryPath));
    ASSERT_TRUE(store);
    const std::pair<std::optional<double>, std::string_view> keys[] = {
        {c.started, SessionTimeline::kSessionStartedKey},
        {c.written, SessionTimeline::kLastWriteKey},
        {c.ended, SessionTimeline::kSessionEndedKey}};
    for (const auto& [seconds, key] : keys) {
      if (seconds) {
        (void)(*store)->setValue(SessionTimeline::kNamespace, key, StorableValue(at(*seconds)));
      }
    }
    const auto timeline = SessionTimeline::lastSession(**store);
    ASSERT_TRUE(timeline) << timeline.error().localizedDescription;
    const auto& last = timeline.value();
    ASSERT_EQ(last.has_value(), c.expected.has_value());
    if (!last) continue;
    EXPECT_EQ(last->at, at(c.expected->first));
    EXPECT_EQ(last->ended, c.expected->second);
  }
}

// An entry of the timeline that holds no moment a session could have reached refuses the store,
// naming the entry and why, instead of reading as a session that never ended; the first moment a
// session starts at and the last one a store keeps are moments still.
TEST(SessionTimelineTest, AMomentNoSessionReachedRefusesTheStore) {
  using Platform::Date;
  using Platform::ManualClock;
  struct Case {
    std::string_view key;
    StorableValue value;
    const char* reason;  // none: the store is usable
  };
  const Case cases[] = {
      {SessionTimeline::kSessionEndedKey, Date(std::numeric_limits<double>::infinity()),
       "it is not a finite date"},
      {SessionTimeline::kSessionEndedKey, Date(std::numeric_limits<double>::quiet_NaN()),
       "it is not a finite date"},
      {SessionTimeline::kSessionEndedKey, Date(-1e15), "it is before 2027-01-15 08:00:00 UTC"},
      {SessionTimeline::kSessionEndedKey, ManualClock::kDefaultStart.addingTimeInterval(-1),
       "it is before 2027-01-15 08:00:00 UTC"},
      {SessionTimeline::kSessionStartedKey, Date::distantFuture().addingTimeInterval(1),
       "it is after 4001-01-01 00:00:00 UTC"},
      {SessionTimeline::kLastWriteKey, StorableValue(std::int64_t{1'800'000'100}),
       "it is not a date"},
      {SessionTimeline::kSessionEndedKey, ManualClock::kDefaultStart, nullptr},
      {SessionTimeline::kSessionStartedKey, Date::distantFuture(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + (c.reason ? c.reason : " usable"));
    auto store = SQLiteKeyValueStore::open(std::string(SQLiteKeyValueStore::kInMemoryPath));
    ASSERT_TRUE(store);
    ASSERT_FALSE(SessionTimeline::recordEnd(**store, ManualClock::kDefaultStart));
    ASSERT_FALSE((*store)->setValue(SessionTimeline::kNamespace, c.key, c.value));
    const auto timeline = SessionTimeline::lastSession(**store);
    ASSERT_EQ(timeline.hasValue(), c.reason == nullptr);
    if (!c.reason) continue;
    const std::string& message = timeline.error().localizedDescription;
    EXPECT_NE(message.find("the entry \"" + std::string(c.key) + "\" in namespace"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }

  // A run on such a store is refused before anything plays or is written.
  const std::string path = temporaryStore();
  {
    auto store = SQLiteKeyValueStore::open(path);
    ASSERT_TRUE(store) << store.error().localizedDescription;
    ASSERT_FALSE(
        SessionTimeline::recordEnd(**store, Date(std::numeric_limits<double>::infinity())));
  }
  SandboxHostOptions options;
  options.storagePath = path;
  const auto refused = SandboxHost::run(options);
  ASSERT_FALSE(refused.hasValue());
  EXPECT_NE(refused.error().localizedDescription.find("\"sessionEndedAt\""), std::string::npos)
      << refused.error().localizedDescription;
  auto after = SQLiteKeyValueStore::open(path);
  ASSERT_TRUE(after) << after.error().localizedDescription;
  EXPECT_FALSE((*after)->value(SessionTimeline::kNamespace, SessionTimeline::kSessionStartedKey));
  removeStore(path);
}

// The stamp travels with every write of other namespaces, single or batched, in the same
// transaction, and no longer once stopped; the timeline's own writes do not carry it.
TEST(SessionTimelineTest, WritesCarryTheSimulatedMomentTheyWereMadeAt) {
  const std::string path = temporaryStore();
  Platform::Date now(1'800'000'000);
  {
    auto store = SQLiteKeyValueStore::open(path);
    ASSERT_TRUE(store) << store.error().localizedDescription;
    const auto lastWrite = [&] {
      return (*store)->value(SessionTimeline::kNamespace, SessionTimeline::kLastWriteKey);
    };
    ASSERT_FALSE(SessionTimeline::recordStart(**store, now));
    (*store)->stampWrites(SessionTimeline::writeStamp([&now] { return now; }));
    EXPECT_FALSE(lastWrite().has_value());  // the start is not a write of the session's data

    now = now.addingTimeInterval(60);
    ASSERT_FALSE((*store)->setValue("storage", "pausedTill", StorableValue(now)));
    EXPECT_EQ(lastWrite(), std::optional<StorableValue>(now));

    now = now.addingTimeInterval(60);
    const SQLiteKeyValueStore::Write batch[] = {{"userDefaults", "a", StorableValue(true)},
                                                {"userDefaults", "b", std::nullopt}};
    ASSERT_FALSE((*store)->setValues(batch));
    EXPECT_EQ(lastWrite(), std::optional<StorableValue>(now));

    const Platform::Date stamped = now;
    now = now.addingTimeInterval(60);
    ASSERT_FALSE(SessionTimeline::recordEnd(**store, now));
    EXPECT_EQ(lastWrite(), std::optional<StorableValue>(stamped));
    (*store)->stampWrites(std::nullopt);
    now = now.addingTimeInterval(60);
    ASSERT_FALSE((*store)->setValue("storage", "x", StorableValue(std::int64_t{1})));
    EXPECT_EQ(lastWrite(), std::optional<StorableValue>(stamped));
  }
  // On disk as in memory, and the session ended.
  auto reopened = SQLiteKeyValueStore::open(path);
  ASSERT_TRUE(reopened) << reopened.error().localizedDescription;
  EXPECT_EQ((*reopened)->value(SessionTimeline::kNamespace, SessionTimeline::kLastWriteKey),
            std::optional<StorableValue>(Platform::Date(1'800'000'120)));
  const auto timeline = SessionTimeline::lastSession(**reopened);
  ASSERT_TRUE(timeline) << timeline.error().localizedDescription;
  const auto& last = timeline.value();
  ASSERT_TRUE(last.has_value());
  EXPECT_TRUE(last->ended);
  EXPECT_EQ(last->at, Platform::Date(1'800'000'180));
  removeStore(path);
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
  EXPECT_NE(played.summary.text().find("Summary: 333333333.333 simulated minutes"),
            std::string::npos);
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
  for (const auto& [placement, counts] : second.summary.interstitials) EXPECT_EQ(counts.shown, 0);
  EXPECT_EQ(total(second.summary, &Counts::granted), 0);
  EXPECT_GT(total(second.summary, &Counts::withheld), 0);
  EXPECT_EQ(second.summary.rewardsEarned, 0);
  EXPECT_TRUE(mentions(second.narration, "interstitial granted, withheld: ads paused for another"));
  EXPECT_NE(second.summary.text().find("Interstitials withheld while ads were paused: "),
            std::string::npos);

  removeStore(options.storagePath);
  options.storagePath.clear();  // a fresh store
  const HostOutcome fresh = playHost(options);
  for (const auto& [placement, counts] : fresh.summary.interstitials) EXPECT_EQ(counts.withheld, 0);
  EXPECT_GT(total(fresh.summary, &Counts::granted), 0);
  EXPECT_FALSE(fresh.summary.adsPauseRemaining.has_value());
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
