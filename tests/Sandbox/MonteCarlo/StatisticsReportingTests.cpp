#include "Sandbox/MonteCarlo/StatisticsReporting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {
namespace {

struct Fields {
  std::string aaid;
  std::string source = "admob";
  std::optional<std::string> unit;
  std::optional<std::string> action;
};

ReportingObject event(const std::string& name, const Fields& fields, std::int64_t errorCode = 0,
                      std::int64_t duration = 0) {
  ReportingObject object{name, {}};
  object.parameters.emplace_back("aaid", fields.aaid);
  if (fields.unit) object.parameters.emplace_back("unit_id", *fields.unit);
  object.parameters.emplace_back("source", fields.source);
  if (fields.action) object.parameters.emplace_back("action", *fields.action);
  if (name == "ad_loaded") {
    object.parameters.emplace_back("error_code", errorCode);
    object.parameters.emplace_back("duration", duration);
  }
  return object;
}

// Connect from two AdMob keys, disconnect from IronSource, application start and the main-screen
// app-open ad sharing one AdMob key, a rewarded video from AdMob.
AdsConfig configuration() {
  auto parsed = SandboxConfiguration::parse(R"({
    "sources": {"adMob": null, "ironSource": "key"},
    "interstitial": {
      "connect": {"source": "adMob", "keys": ["a", "shared"]},
      "disconnect": {"source": "ironSource", "keys": ["is-placement"]},
      "appLaunch": {"source": "adMob", "keys": ["shared"]}
    },
    "appOpen": {"main": {"source": "adMob", "keys": ["shared"]}},
    "rewarded": {"timewall": {"source": "adMob", "keys": ["shared"]}}
  })");
  EXPECT_TRUE(parsed.hasValue()) << (parsed ? "" : parsed.error().localizedDescription);
  return parsed ? parsed->ads : AdsConfig{{}, {}, {}, {}};
}

TEST(StatisticsReportingTest, RequestsGoToTheirPlacementAndAnswersCountOnce) {
  StatisticsReporting sink(configuration());
  const Fields connect{"c1", "admob", "a", "connect"};
  const Fields launch{"l1", "admob", "shared", "app_launch"};
  const Fields appOpen{"o1", "admob", "shared", "app_open"};
  const Fields rewarded{"r1", "admob", "shared", std::nullopt};
  const Fields ironSource{"i1", "ironsource", std::nullopt, std::nullopt};
  for (const Fields* fields : {&connect, &launch, &appOpen, &rewarded, &ironSource}) {
    sink.track(event("ad_requested", *fields));
  }
  EXPECT_EQ(sink.pendingCount(), 5u);

  sink.track(event("ad_loaded", connect, 0, 1200));
  sink.track(event("ad_opened", connect));
  // A failure to present is reported like a failed load, for an ad that has loaded: not a load.
  sink.track(event("ad_loaded", connect, 3, 15000));
  sink.track(event("ad_loaded", launch, 2, 800));
  sink.track(event("ad_loaded", appOpen, 0, 300));
  sink.track(event("ad_loaded", {"i1", "ironsource", std::nullopt, std::nullopt}, 0, 2500));
  EXPECT_EQ(sink.pendingCount(), 1u) << "the rewarded request is still waiting";
  // Its reload keeps the uuid: a new request replaces the waiting one.
  sink.track(event("ad_requested", rewarded));
  sink.track(event("ad_loaded", rewarded, 0, 700));
  EXPECT_EQ(sink.pendingCount(), 0u);

  const SessionStatistics& statistics = sink.statistics();
  auto row = [&](const std::string& name) { return statistics.placements.at(name); };
  EXPECT_EQ(std::tuple(row("interstitial.connect").requests, row("interstitial.connect").fills,
                       row("interstitial.connect").failures),
            std::tuple(1u, 1u, 0u));
  // Latencies read back as the middle of their histogram bucket: 1200 ms lies in 1200..1215.
  EXPECT_EQ(row("interstitial.connect").loadLatency.percentile(50), 1207);
  EXPECT_EQ(
      std::tuple(row("interstitial.appLaunch").requests, row("interstitial.appLaunch").failures,
                 row("interstitial.appLaunch").loadLatency.sampleCount()),
      std::tuple(1u, 1u, 0u))
      << "failed loads have no latency";
  EXPECT_EQ(row("appOpen.main").fills, 1u);
  EXPECT_EQ(std::tuple(row("rewarded.timewall").requests, row("rewarded.timewall").fills),
            std::tuple(2u, 1u));
  EXPECT_EQ(row("interstitial.disconnect").fills, 1u);
  EXPECT_EQ(row("interstitial.disconnect").loadLatency.percentile(90), 2511);  // 2496..2527
  EXPECT_FALSE(statistics.placements.contains(StatisticsReporting::kUnattributed));

  const auto& admob = statistics.networks.at("admob");
  EXPECT_EQ(std::tuple(admob.requests, admob.fills, admob.failures, admob.shows),
            std::tuple(5u, 3u, 1u, 1u));
  EXPECT_EQ(admob.loadLatency.percentile(50), 699);  // 696..703
  EXPECT_EQ(statistics.networks.at("ironsource").requests, 1u);
}

TEST(StatisticsReportingTest, WhatFitsNoPlacementIsCountedApartAndMalformedEventsAreIgnored) {
  StatisticsReporting sink(configuration());
  sink.track(event("ad_requested", {"u1", "admob", "unknown-key", "connect"}));
  // The key is configured for AdMob only.
  sink.track(event("ad_requested", {"u2", "ironsource", "a", std::nullopt}));
  // No IronSource rewarded placement is configured.
  sink.track(event("ad_requested", {"u3", "ironsource", "", std::nullopt}));
  EXPECT_EQ(sink.statistics().placements.at(StatisticsReporting::kUnattributed).requests, 3u);

  ReportingObject noSource{"ad_requested", {{"aaid", std::string("x")}}};
  sink.track(noSource);
  ReportingObject wrongType{"ad_requested",
                            {{"aaid", std::int64_t{7}}, {"source", std::string("admob")}}};
  sink.track(wrongType);
  sink.track(event("ad_loaded", {"never-requested", "admob", "a", "connect"}, 0, 100));
  EXPECT_EQ(sink.statistics().networks.at("admob").requests, 1u);
  EXPECT_EQ(sink.statistics().networks.at("admob").fills, 0u);
  EXPECT_EQ(sink.pendingCount(), 3u);
}

// Unit keys match exactly: one of a configured key's length that differs in one character or in
// case, a prefix of one, or one with a character more fits no placement.
TEST(StatisticsReportingTest, UnitKeysOnlyFitWhenTheyMatchExactly) {
  StatisticsReporting sink(configuration());
  const char* keys[] = {"sharee", "Shared", "share", "shared ", "b", ""};
  for (const char* key : keys) {
    sink.track(event("ad_requested", {std::string("k-") + key, "admob", key, "app_launch"}));
  }
  sink.track(event("ad_requested", {"k-shared", "admob", "shared", "app_launch"}));
  const SessionStatistics statistics = sink.statistics();
  EXPECT_EQ(statistics.placements.at(StatisticsReporting::kUnattributed).requests, std::size(keys));
  EXPECT_EQ(statistics.placements.at("interstitial.appLaunch").requests, 1u);
}

// Event names and sources are told apart by length and then by every character: a name or source
// of a counted one's length that differs anywhere, or in case, is not taken for it.
TEST(StatisticsReportingTest, NamesAndSourcesOnlyCountWhenTheyMatchExactly) {
  StatisticsReporting sink(configuration());
  for (const char* name : {"ad_viewed", "ad_loadee", "bd_opened", "AD_LOADED", "ad_requestes",
                           "ad_requeste", "ad_request", "xd_requested"}) {
    sink.track(event(name, {"n", "admob", "a", "connect"}));
  }
  sink.track(event("ad_opened", {"n", "admob", "a", "connect"}));
  SessionStatistics statistics = sink.statistics();
  EXPECT_EQ(statistics.networks.at("admob").requests, 0u) << "no request counted";
  EXPECT_EQ(statistics.networks.at("admob").shows, 1u) << "only the real ad_opened";
  EXPECT_TRUE(statistics.placements.empty());
  EXPECT_EQ(sink.pendingCount(), 0u);

  // Other sources, some one character off the module's two: their own network row, and their
  // requests fit no placement even with a configured key.
  const char* sources[] = {"admoc", "Admob", "ironsourcE", "jronsource", "unity", ""};
  for (const char* source : sources) {
    sink.track(event("ad_requested", {std::string("r-") + source, source, "a", "connect"}));
    sink.track(event("ad_loaded", {std::string("r-") + source, source, "a", "connect"}, 0, 40));
  }
  statistics = sink.statistics();
  EXPECT_EQ(statistics.placements.at(StatisticsReporting::kUnattributed).requests, 6u);
  EXPECT_EQ(statistics.placements.at(StatisticsReporting::kUnattributed).fills, 6u);
  EXPECT_FALSE(statistics.placements.contains("interstitial.connect"));
  EXPECT_EQ(statistics.networks.at("admob").requests, 0u);
  EXPECT_FALSE(statistics.networks.contains("ironsource"));
  for (const char* source : sources) {
    ASSERT_TRUE(statistics.networks.contains(source)) << source;
    EXPECT_EQ(statistics.networks.at(source).requests, 1u) << source;
    EXPECT_EQ(statistics.networks.at(source).fills, 1u) << source;
  }
}

TEST(StatisticsReportingTest, RequestsThatNeverHearBackAreForgottenOldestFirst) {
  StatisticsReporting sink(configuration());
  const std::size_t total = StatisticsReporting::kPendingLimit * 5;
  for (std::size_t i = 0; i < total; ++i) {
    sink.track(event("ad_requested", {"ad" + std::to_string(i), "admob", "a", "connect"}));
    ASSERT_LE(sink.pendingCount(), StatisticsReporting::kPendingLimit);
  }
  EXPECT_EQ(sink.statistics().placements.at("interstitial.connect").requests, total);
  // The most recent request is still answered; the first one was forgotten.
  sink.track(
      event("ad_loaded", {"ad" + std::to_string(total - 1), "admob", "a", "connect"}, 0, 50));
  sink.track(event("ad_loaded", {"ad0", "admob", "a", "connect"}, 0, 60));
  EXPECT_EQ(sink.statistics().placements.at("interstitial.connect").fills, 1u);
  EXPECT_EQ(sink.statistics().placements.at("interstitial.connect").loadLatency.percentile(100),
            50);
}

// A sink reused for the next session forgets the last one: its rows, and the requests still
// waiting (an answer to one of them is not counted), then counts exactly as a new sink does.
TEST(StatisticsReportingTest, AResetSinkCountsTheNextSessionAsANewOne) {
  StatisticsReporting reused(configuration());
  const Fields left{"left", "admob", "a", "connect"};
  reused.track(event("ad_requested", left));
  reused.track(event("ad_requested", {"gone", "ironsource", std::nullopt, std::nullopt}));
  reused.track(event("ad_loaded", {"gone", "ironsource", std::nullopt, std::nullopt}, 0, 9000));
  reused.reset();
  EXPECT_EQ(reused.pendingCount(), 0u);
  EXPECT_EQ(reused.statistics(), SessionStatistics());

  StatisticsReporting fresh(configuration());
  const ReportingObject next[] = {
      event("ad_loaded", left, 0, 500),  // answers the forgotten request: not counted
      event("ad_requested", {"c2", "admob", "shared", "connect"}),
      event("ad_requested", {"x", "admob", "unknown", "connect"}),
      event("ad_loaded", {"c2", "admob", "shared", "connect"}, 0, 1500),
      event("ad_opened", {"c2", "admob", "shared", "connect"}),
  };
  for (const ReportingObject& object : next) {
    reused.track(object);
    fresh.track(object);
  }
  EXPECT_EQ(reused.statistics(), fresh.statistics());
  EXPECT_EQ(reused.pendingCount(), fresh.pendingCount());
  EXPECT_EQ(reused.statistics().placements.at("interstitial.connect").requests, 1u);
  EXPECT_EQ(reused.statistics().placements.count("interstitial.disconnect"), 0u);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
