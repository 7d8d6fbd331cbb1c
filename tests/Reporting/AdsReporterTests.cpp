#include <gtest/gtest.h>

#include <variant>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Reporting/AdsReporter.h"
#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit {
namespace {

// A value as the tests spell it: text quoted, numbers bare.
std::string render(const ReportingValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return "'" + *text + "'";
  if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
  return std::get<bool>(value) ? "true" : "false";
}

// An event on one line: its name, then its parameters in order.
std::string render(const ReportingObject& event) {
  std::string line = event.name;
  for (const auto& [key, value] : event.parameters) line += " " + key + "=" + render(value);
  return line;
}

class AdsReporterTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::shared_ptr<Sandbox::RecordingReporting> reporting =
      std::make_shared<Sandbox::RecordingReporting>();
  std::shared_ptr<AdsReporter> reporter = std::make_shared<AdsReporter>(reporting, env->clockPtr());

  void advance(Platform::TimeInterval seconds) { env->manualClock()->advance(seconds); }

  // The named parameter of the last event sent, rendered; "-" when the event has none.
  std::string last(std::string_view name) const {
    const auto events = reporting->events();
    if (events.empty()) return "(no event)";
    const ReportingValue* value = events.back().parameter(name);
    return value ? render(*value) : "-";
  }

  std::string actionOfRequest(const std::optional<std::string>& unitID) {
    reporter->reportAdRequested(AdSource::adMob, unitID, "ad");
    return last("action");
  }
};

TEST_F(AdsReporterTest, DurationsRunFromTheAdsLastRequestOrItsOpeningInWholeMilliseconds) {
  reporter->reportAdRequested(AdSource::adMob, "unit", "first");
  advance(10);
  reporter->reportAdRequested(AdSource::adMob, "unit", "second");
  advance(2.5);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "first", "Adapter");
  EXPECT_EQ(last("duration"), "12500");
  reporter->reportAdFailed(AdSource::adMob, "unit", "second", std::nullopt, Platform::Error{});
  EXPECT_EQ(last("duration"), "2500");

  // A reused ad (rewarded reload) keeps its uuid: the new request replaces the stamp.
  advance(30);
  reporter->reportAdRequested(AdSource::ironSource, "", "first");
  advance(1);
  reporter->reportAdLoaded(AdSource::ironSource, "", "first", std::nullopt);
  EXPECT_EQ(last("duration"), "1000");

  advance(120);  // waits in the cache until the host shows it
  reporter->reportAdOpened(AdSource::ironSource, "", "first", std::nullopt);
  advance(7.25);
  reporter->reportAdViewed(AdSource::ironSource, "", "first", std::nullopt, std::nullopt);
  EXPECT_EQ(last("duration"), "7250");

  // Never requested: no stamp, duration 0.
  reporter->reportAdLoaded(AdSource::adMob, "unit", "unknown", std::nullopt);
  EXPECT_EQ(last("duration"), "0");

  // Milliseconds truncated, not rounded.
  reporter->reportAdRequested(AdSource::adMob, "unit", "ad");
  advance(0.0019);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", std::nullopt);
  EXPECT_EQ(last("duration"), "1");

  // A clock set backwards still gives a positive duration.
  reporter->reportAdRequested(AdSource::adMob, "unit", "ad");
  env->manualClock()->set(env->clock().now().addingTimeInterval(-2.5));
  reporter->reportAdLoaded(AdSource::adMob, "unit", "ad", std::nullopt);
  EXPECT_EQ(last("duration"), "2500");
  reporter->reportAdOpened(AdSource::adMob, "unit", "ad", std::nullopt);
  env->manualClock()->set(env->clock().now().addingTimeInterval(-3600));
  reporter->reportAdViewed(AdSource::adMob, "unit", "ad", std::nullopt, std::nullopt);
  EXPECT_EQ(last("duration"), "3600000");
}

TEST_F(AdsReporterTest, ActionNeedsAPresentNonEmptyUnitFoundExactlyInTheCurrentMapping) {
  EXPECT_EQ(actionOfRequest("unit-a"), "-");  // no mapping at all

  // The mapping holds an empty key on purpose: an empty unitID must still get no action.
  reporter->setAdUnitIdToActionMapping({{"unit-a", AdEventAction::connect},
                                        {"Unit-B", AdEventAction::disconnect},
                                        {"", AdEventAction::appOpen}});
  EXPECT_EQ(actionOfRequest("unit-a"), "'connect'");
  EXPECT_EQ(actionOfRequest("Unit-B"), "'disconnect'");
  const std::optional<std::string> unmapped[] = {"unit-b", "unit-a ", "unknown", "", std::nullopt};
  for (const auto& unitID : unmapped)
    EXPECT_EQ(actionOfRequest(unitID), "-") << unitID.value_or("(none)");

  reporter->setAdUnitIdToActionMapping(
      {{"new-1", AdEventAction::appLaunch}, {"Unit-B", AdEventAction::appLaunch}});
  EXPECT_EQ(actionOfRequest("unit-a"), "-");
  EXPECT_EQ(actionOfRequest("new-1"), "'app_launch'");
  EXPECT_EQ(actionOfRequest("Unit-B"), "'app_launch'");
}

// Small mappings are scanned and larger ones hashed: both must find exactly the mapped keys.
TEST_F(AdsReporterTest, ActionLookupIsExactOnEitherSideOfTheScannedSize) {
  for (const std::size_t size :
       {AdsReporter::kScannedActionKeys, AdsReporter::kScannedActionKeys + 1}) {
    AdsReporter::ActionMapping mapping;
    for (std::size_t i = 0; i < size; ++i) {
      mapping.emplace("unit-" + std::to_string(i),
                      i % 2 == 0 ? AdEventAction::connect : AdEventAction::appLaunch);
    }
    reporter->setAdUnitIdToActionMapping(std::move(mapping));
    for (std::size_t i = 0; i < size; ++i) {
      EXPECT_EQ(actionOfRequest("unit-" + std::to_string(i)),
                i % 2 == 0 ? "'connect'" : "'app_launch'")
          << size << " keys, key " << i;
    }
    for (const char* unmapped : {"unit-", "unit-00", "unit-9", "Unit-0", "unit-0 "}) {
      EXPECT_EQ(actionOfRequest(unmapped), "-") << size << " keys, " << unmapped;
    }
  }
}

TEST_F(AdsReporterTest, EachOperationSendsItsEventInObjectForm) {
  reporter->setAdUnitIdToActionMapping({{"unit", AdEventAction::disconnect}});
  reporter->reportAdRequested(AdSource::adMob, "unit", "UUID-1");
  advance(2);
  reporter->reportAdLoaded(AdSource::adMob, "unit", "UUID-1", "GADMAdapterGoogleAdMobAds");
  reporter->reportAdFailed(AdSource::ironSource, "unit", "UUID-1", "ironSource",
                           Platform::Error{"Domain", 7, "Presentation failed"});
  reporter->reportAdOpened(AdSource::adMob, "unit", "UUID-1", "GADMAdapterGoogleAdMobAds");
  advance(4);
  reporter->reportAdViewed(AdSource::ironSource, "unit", "UUID-1", "ironSource",
                           Platform::Error{"NSURLErrorDomain", -1009, "Offline"});
  reporter->reportAdViewed(AdSource::ironSource, "unit", "UUID-1", "ironSource", std::nullopt);
  // Absent optional fields are left out.
  reporter->reportAdRequested(AdSource::ironSource, std::nullopt, "UUID-2");
  reporter->reportAdOpened(AdSource::ironSource, std::nullopt, "UUID-2", std::nullopt);

  std::vector<std::string> events;
  for (const auto& event : reporting->events()) events.push_back(render(event));
  EXPECT_EQ(
      events,
      (std::vector<std::string>{
          "ad_requested aaid='UUID-1' unit_id='unit' source='admob' action='disconnect'",
          "ad_loaded aaid='UUID-1' unit_id='unit' network_class_name='GADMAdapterGoogleAdMobAds' "
          "source='admob' action='disconnect' error_code=0 duration=2000",
          "ad_loaded aaid='UUID-1' unit_id='unit' network_class_name='ironSource' "
          "source='ironsource' action='disconnect' error_code=7 error='Presentation failed' "
          "duration=2000",
          "ad_opened aaid='UUID-1' unit_id='unit' network_class_name='GADMAdapterGoogleAdMobAds' "
          "source='admob' action='disconnect'",
          "ad_viewed aaid='UUID-1' unit_id='unit' network_class_name='ironSource' "
          "source='ironsource' action='disconnect' error_code=-1009 error='Offline' duration=4000",
          "ad_viewed aaid='UUID-1' unit_id='unit' network_class_name='ironSource' "
          "source='ironsource' action='disconnect' error_code=0 duration=4000",
          "ad_requested aaid='UUID-2' source='ironsource'",
          "ad_opened aaid='UUID-2' source='ironsource'",
      }));
}

// The reporter refills one record for every event: each event must still arrive whole, a shorter
// one after a longer one included, and a sink that makes the reporter report again while it
// handles an event must find the record it holds unchanged after the inner report.
class ReentrantSink final : public QVReporting {
 public:
  std::weak_ptr<AdsReporter> reporter;
  std::vector<std::string> seen;

  void track(const ReportingObject& event) override {
    const std::string before = render(event);
    if (event.name == "ad_requested") {
      if (auto held = reporter.lock()) {
        held->reportAdFailed(AdSource::adMob, std::nullopt, "inner", std::nullopt,
                             Platform::Error{"Domain", 3, "No fill"});
      }
    }
    seen.push_back(render(event));
    if (render(event) != before) seen.push_back("changed under the sink: " + before);
  }
};

TEST_F(AdsReporterTest, TheReusedRecordStaysWholeAcrossEventsAndReentrantReports) {
  auto sink = std::make_shared<ReentrantSink>();
  auto reentrant = std::make_shared<AdsReporter>(sink, env->clockPtr());
  sink->reporter = reentrant;
  reentrant->reportAdViewed(AdSource::ironSource, "unit", "UUID-1", "ironSource",
                            Platform::Error{"NSURLErrorDomain", -1009, "Offline"});
  reentrant->reportAdOpened(AdSource::adMob, std::nullopt, "UUID-1", std::nullopt);
  reentrant->reportAdRequested(AdSource::adMob, "unit", "UUID-2");
  reentrant->reportAdLoaded(AdSource::adMob, "unit", "UUID-2", "GADMAdapterGoogleAdMobAds");
  const std::string viewed =
      "ad_viewed aaid='UUID-1' unit_id='unit' network_class_name='ironSource' "
      "source='ironsource' error_code=-1009 error='Offline' duration=0";
  const std::string loaded =
      "ad_loaded aaid='UUID-2' unit_id='unit' network_class_name='GADMAdapterGoogleAdMobAds' "
      "source='admob' error_code=0 duration=0";
  EXPECT_EQ(sink->seen,
            (std::vector<std::string>{
                viewed,
                "ad_opened aaid='UUID-1' source='admob'",
                "ad_loaded aaid='inner' source='admob' error_code=3 error='No fill' duration=0",
                "ad_requested aaid='UUID-2' unit_id='unit' source='admob'",
                loaded,
            }));
}

}  // namespace
}  // namespace QVRAdKit
