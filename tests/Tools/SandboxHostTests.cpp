#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"

namespace QVRAdKit::Sandbox {
namespace {

struct HostOutcome {
  SandboxHostSummary summary;
  std::vector<std::string> narration;
  std::vector<std::string> events;
};

// Runs the host on a storage file of its own, removed afterwards.
HostOutcome playHost(SandboxHostOptions options) {
  std::ostringstream events;
  HostOutcome outcome;
  options.storagePath = (std::filesystem::temp_directory_path() /
                         ("qvr-host-test-" + std::to_string(std::random_device{}()) + ".sqlite"))
                            .string();
  auto reporting = std::make_shared<JsonLinesReporting>(events);
  options.reporting = reporting;
  options.narrator = [&outcome](std::string_view line) { outcome.narration.emplace_back(line); };
  auto summary = SandboxHost::run(options);
  EXPECT_FALSE(reporting->flush());
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"})
    std::filesystem::remove(options.storagePath + suffix, ignored);
  EXPECT_TRUE(summary.hasValue()) << (summary ? "" : summary.error().localizedDescription);
  if (summary) outcome.summary = *summary;
  std::istringstream lines(events.str());
  for (std::string line; std::getline(lines, line);) outcome.events.push_back(line);
  return outcome;
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
  EXPECT_EQ(std::tuple(summary.simulatedSeconds, summary.consentFormShown, summary.runs,
                       summary.personalizedAds),
            std::tuple(600.0, true, 2, true));
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
}

TEST(SandboxHostTest, UnusableStorageIsAnErrorNotASession) {
  SandboxHostOptions options;
  options.storagePath = std::filesystem::temp_directory_path().string();  // a directory
  auto summary = SandboxHost::run(options);
  ASSERT_FALSE(summary.hasValue());
  EXPECT_NE(summary.error().localizedDescription.find(options.storagePath), std::string::npos);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
