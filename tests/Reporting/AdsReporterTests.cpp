#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit {
namespace {

using Parameters = std::vector<std::pair<std::string, ReportingValue>>;

class AdsReporterTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::shared_ptr<Sandbox::RecordingReporting> reporting =
      std::make_shared<Sandbox::RecordingReporting>();
  std::shared_ptr<AdsReporter> reporter = std::make_shared<AdsReporter>(reporting);

  void advance(Platform::TimeInterval seconds) { env->manualClock()->advance(seconds); }

  ReportingObject last() const {
    auto events = reporting->events();
    EXPECT_FALSE(events.empty());
    return events.empty() ? ReportingObject{} : events.back();
  }

  std::optional<std::int64_t> lastInt(std::string_view name) const {
    auto event = last();
    const ReportingValue* value = event.parameter(name);
    if (!value || !std::holds_alternative<std::int64_t>(*value)) return std::nullopt;
    return std::get<std::int64_t>(*value);
  }

  std::optional<std::string> lastText(std::string_view name) const {
    auto event = last();
    const ReportingValue* value = event.parameter(name);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return std::get<std::string>(*value);
  }

  std::optional<std::string> actionOfRequest(const std::optional<std::string>& unitID) {
    reporter->reportAdRequested(AdSource::adMob, unitID, "ad");
    return lastText("action");
  }
};

TEST_F(AdsReporterTest, LoadDurationRunsFromTheLastRequestOfTheSameAd) {
  reporter->reportAdRequested(AdSource::adMob, "unit", "first");
  advance(10);
  reporter->reportAdRequested(AdSource::adMob, "unit", "second");
  advance(2.5);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "first", "Adapter");
  EXPECT_EQ(lastInt("duration"), 12500);
  reporter->reportAdFailed(AdSource::adMob, "unit", "second", std::nullopt,
                           Platform::Error{"Domain", 1, "No fill"});
  EXPECT_EQ(lastInt("duration"), 2500);

  // A reused ad (rewarded reload) keeps its uuid: the new request replaces the stamp.
  advance(30);
  reporter->reportAdRequested(AdSource::ironSource, "", "first");
  advance(1);
  reporter->reportAdLoaded(AdSource::ironSource, "", "first", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 1000);

  // Never requested: no stamp, duration 0.
  reporter->reportAdLoaded(AdSource::adMob, "unit", "unknown", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 0);
}

TEST_F(AdsReporterTest, DurationIsTruncatedTowardZeroNotRounded) {
  reporter->reportAdRequested(AdSource::adMob, "unit", "ad");
  advance(0.0019);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 1);
  advance(0.9996);  // 1.0015 s in all
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 1001);
}

TEST_F(AdsReporterTest, ViewDurationRunsFromTheOpeningNotTheRequest) {
  reporter->reportAdRequested(AdSource::adMob, "unit", "ad");
  advance(3);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", "Adapter");
  EXPECT_EQ(lastInt("duration"), 3000);
  advance(120);  // waits in the cache until the host shows it
  reporter->reportAdOpened(AdSource::adMob, "unit", "ad", "Adapter");
  advance(7.25);
  reporter->reportAdViewed(AdSource::adMob, "unit", "ad", "Adapter", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 7250);
}

TEST_F(AdsReporterTest, ClockSetBackwardsStillGivesAPositiveDuration) {
  reporter->reportAdRequested(AdSource::adMob, "unit", "ad");
  env->manualClock()->set(env->clock().now().addingTimeInterval(-2.5));
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", std::nullopt);
  EXPECT_EQ(lastInt("duration"), 2500);

  reporter->reportAdOpened(AdSource::adMob, "unit", "ad", std::nullopt);
  env->manualClock()->set(env->clock().now().addingTimeInterval(-3600));
  reporter->reportAdViewed(AdSource::adMob, "unit", "ad", std::nullopt, std::nullopt);
  EXPECT_EQ(lastInt("duration"), 3'600'000);
}

TEST_F(AdsReporterTest, ActionNeedsAPresentNonEmptyUnitFoundExactlyInTheMapping) {
  // With no mapping at all, nothing carries an action.
  EXPECT_EQ(actionOfRequest("unit-a"), std::nullopt);

  // The mapping holds an empty key on purpose: an empty unitID must still get no action.
  reporter->setAdUnitIdToActionMapping({{"unit-a", AdEventAction::connect},
                                        {"Unit-B", AdEventAction::disconnect},
                                        {"", AdEventAction::appOpen}});
  EXPECT_EQ(actionOfRequest("unit-a"), "connect");
  EXPECT_EQ(actionOfRequest("Unit-B"), "disconnect");
  EXPECT_EQ(actionOfRequest("unit-b"), std::nullopt);  // case-sensitive
  EXPECT_EQ(actionOfRequest("unit-a "), std::nullopt);
  EXPECT_EQ(actionOfRequest("unknown"), std::nullopt);
  EXPECT_EQ(actionOfRequest(std::nullopt), std::nullopt);
  EXPECT_EQ(actionOfRequest(""), std::nullopt);

  // Every operation looks the action up the same way.
  reporter->reportAdLoaded(AdSource::adMob, "unit-a", "ad", std::nullopt);
  EXPECT_EQ(lastText("action"), "connect");
  reporter->reportAdFailed(AdSource::adMob, "Unit-B", "ad", std::nullopt, Platform::Error{});
  EXPECT_EQ(lastText("action"), "disconnect");
  reporter->reportAdOpened(AdSource::adMob, "unit-a", "ad", std::nullopt);
  EXPECT_EQ(lastText("action"), "connect");
  reporter->reportAdViewed(AdSource::adMob, "", "ad", std::nullopt, std::nullopt);
  EXPECT_EQ(lastText("action"), std::nullopt);
}

TEST_F(AdsReporterTest, ReplacingTheMappingDropsTheOldKeys) {
  reporter->setAdUnitIdToActionMapping(
      {{"old-1", AdEventAction::connect}, {"shared", AdEventAction::connect}});
  EXPECT_EQ(actionOfRequest("old-1"), "connect");

  reporter->setAdUnitIdToActionMapping(
      {{"new-1", AdEventAction::appLaunch}, {"shared", AdEventAction::appLaunch}});
  EXPECT_EQ(actionOfRequest("old-1"), std::nullopt);
  EXPECT_EQ(actionOfRequest("new-1"), "app_launch");
  EXPECT_EQ(actionOfRequest("shared"), "app_launch");
  EXPECT_EQ(reporter->adUnitIdToActionMapping().size(), 2u);

  reporter->setAdUnitIdToActionMapping({});
  EXPECT_EQ(actionOfRequest("new-1"), std::nullopt);
}

TEST_F(AdsReporterTest, FailureCarriesTheErrorAndItsCodeAndSuccessCarriesZero) {
  const Platform::Error noFill{"com.google.admob", 1, "Request Error: No ad to show."};
  const Platform::Error offline{"NSURLErrorDomain", -1009, "The Internet connection is offline."};

  reporter->reportAdFailed(AdSource::adMob, "unit", "ad", std::nullopt, noFill);
  EXPECT_EQ(last().name, "ad_loaded");
  EXPECT_EQ(lastInt("error_code"), 1);
  EXPECT_EQ(lastText("error"), "Request Error: No ad to show.");

  reporter->reportAdFailed(AdSource::ironSource, std::nullopt, "ad", std::nullopt, offline);
  EXPECT_EQ(lastInt("error_code"), -1009);
  EXPECT_EQ(lastText("error"), "The Internet connection is offline.");

  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", "Adapter");
  EXPECT_EQ(lastInt("error_code"), 0);
  EXPECT_EQ(last().parameter("error"), nullptr);

  reporter->reportAdViewed(AdSource::adMob, "unit", "ad", "Adapter", offline);
  EXPECT_EQ(last().name, "ad_viewed");
  EXPECT_EQ(lastInt("error_code"), -1009);
  EXPECT_EQ(lastText("error"), "The Internet connection is offline.");

  reporter->reportAdViewed(AdSource::adMob, "unit", "ad", "Adapter", std::nullopt);
  EXPECT_EQ(lastInt("error_code"), 0);
  EXPECT_EQ(last().parameter("error"), nullptr);
}

TEST_F(AdsReporterTest, EachOperationSendsItsEventInObjectForm) {
  reporter->setAdUnitIdToActionMapping({{"unit", AdEventAction::disconnect}});
  const Platform::Error error{"Domain", 7, "Presentation failed"};

  reporter->reportAdRequested(AdSource::adMob, "unit", "UUID-1");
  advance(2);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "UUID-1", "GADMAdapterGoogleAdMobAds");
  reporter->reportAdFailed(AdSource::ironSource, "unit", "UUID-1", "ironSource", error);
  reporter->reportAdOpened(AdSource::adMob, "unit", "UUID-1", "GADMAdapterGoogleAdMobAds");
  advance(4);
  reporter->reportAdViewed(AdSource::ironSource, "unit", "UUID-1", "ironSource", std::nullopt);

  const std::vector<ReportingObject> expected{
      {"ad_requested", Parameters{{"aaid", std::string("UUID-1")},
                                  {"unit_id", std::string("unit")},
                                  {"source", std::string("admob")},
                                  {"action", std::string("disconnect")}}},
      {"ad_loaded", Parameters{{"aaid", std::string("UUID-1")},
                               {"unit_id", std::string("unit")},
                               {"network_class_name", std::string("GADMAdapterGoogleAdMobAds")},
                               {"source", std::string("admob")},
                               {"action", std::string("disconnect")},
                               {"error_code", std::int64_t{0}},
                               {"duration", std::int64_t{2000}}}},
      {"ad_loaded", Parameters{{"aaid", std::string("UUID-1")},
                               {"unit_id", std::string("unit")},
                               {"network_class_name", std::string("ironSource")},
                               {"source", std::string("ironsource")},
                               {"action", std::string("disconnect")},
                               {"error_code", std::int64_t{7}},
                               {"error", std::string("Presentation failed")},
                               {"duration", std::int64_t{2000}}}},
      {"ad_opened", Parameters{{"aaid", std::string("UUID-1")},
                               {"unit_id", std::string("unit")},
                               {"network_class_name", std::string("GADMAdapterGoogleAdMobAds")},
                               {"source", std::string("admob")},
                               {"action", std::string("disconnect")}}},
      {"ad_viewed", Parameters{{"aaid", std::string("UUID-1")},
                               {"unit_id", std::string("unit")},
                               {"network_class_name", std::string("ironSource")},
                               {"source", std::string("ironsource")},
                               {"action", std::string("disconnect")},
                               {"error_code", std::int64_t{0}},
                               {"duration", std::int64_t{4000}}}},
  };
  EXPECT_EQ(reporting->events(), expected);
}

TEST_F(AdsReporterTest, AbsentOptionalFieldsAreLeftOutOfTheObjectForm) {
  reporter->reportAdRequested(AdSource::ironSource, std::nullopt, "UUID-2");
  reporter->reportAdOpened(AdSource::ironSource, std::nullopt, "UUID-2", std::nullopt);
  const std::vector<ReportingObject> expected{
      {"ad_requested",
       Parameters{{"aaid", std::string("UUID-2")}, {"source", std::string("ironsource")}}},
      {"ad_opened",
       Parameters{{"aaid", std::string("UUID-2")}, {"source", std::string("ironsource")}}},
  };
  EXPECT_EQ(reporting->events(), expected);
}

}  // namespace
}  // namespace QVRAdKit
