#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Host/SandboxNarration.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

struct Played {
  SandboxHostSummary summary;
  std::vector<std::string> narration;
};

Played playSession(SandboxHostOptions options) {
  Played played;
  options.narrator = [&played](std::string_view line) { played.narration.emplace_back(line); };
  auto summary = SandboxHost::run(options);
  EXPECT_TRUE(summary.hasValue()) << (summary ? "" : summary.error().localizedDescription);
  if (summary) played.summary = *summary;
  return played;
}

bool mentions(const std::vector<std::string>& lines, std::string_view text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != line.npos; });
}

class SandboxSessionTest : public ::testing::Test {
 protected:
  SandboxSessionTest() { fs::create_directories(dir); }
  ~SandboxSessionTest() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  std::string store(const std::string& name) const { return (dir / name).string(); }

  const fs::path dir =
      fs::temp_directory_path() / ("qvr-session-" + std::to_string(std::random_device{}()));
};

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
TEST_F(SandboxSessionTest, PeriodsOfBillionsOfSecondsAreNarratedExactly) {
  SandboxHostOptions options;
  options.storagePath = store("long.sqlite");
  options.configuration.consent.region = ConsentRegion::consentNotRequired;
  SandboxSessionProfile& profile = options.configuration.session;
  profile.disconnected = {3e9, 3e9};
  profile.connected = {3e9, 3e9};
  profile.background = {3e9, 3e9};
  profile.backgroundChance = 1;
  profile.rewardedChance = 0;
  profile.appLaunchTimeout = 3e9;
  options.duration = 2e10;
  const Played played = playSession(options);
  EXPECT_EQ(played.summary.simulatedSeconds, 2e10);
  EXPECT_TRUE(mentions(played.narration, "app active again after 3000000000s"));
  // The first connect, three billion seconds after the launch (plus the ad's latency).
  EXPECT_TRUE(mentions(played.narration, "[833333:20:03] connect -> interstitial"));
  EXPECT_NE(played.summary.text().find("Summary: 333333333 simulated minutes"), std::string::npos);
}

// A rewarded video pauses ads; the pause is kept in the store, so a second run over the same
// store grants no interstitial while it lasts, and a run over a fresh store does.
TEST_F(SandboxSessionTest, TheAdsPauseOfARewardSurvivesIntoTheNextRun) {
  SandboxHostOptions options;
  options.seed = 3;
  options.duration = 3600;
  options.storagePath = store("kept.sqlite");
  options.configuration.consent.region = ConsentRegion::consentNotRequired;
  options.configuration.session.rewardedChance = 1;
  options.configuration.session.pauseAfterReward = 1e6;

  const Played first = playSession(options);
  ASSERT_GE(first.summary.rewardsEarned, 1);
  EXPECT_TRUE(mentions(first.narration, "ads paused for 1000000s"));
  ASSERT_TRUE(first.summary.adsPauseRemaining.has_value());
  EXPECT_GT(*first.summary.adsPauseRemaining, 1e6 - 3600);

  options.configuration.session.rewardedChance = 0;
  const Played second = playSession(options);
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

  options.storagePath = store("fresh.sqlite");
  const Played fresh = playSession(options);
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
