#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Host/EventCatalog/BannerAdViewEvent.h"
#include "QVRAdKit/Host/UCR.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit {
namespace {

using Parameters = std::vector<std::pair<std::string, ReportingValue>>;

TEST(UCRTest, BannerEventsReachOnlyTheSinkOfTheCurrentEnvironment) {
  // Object forms: fields in a fixed order, an absent context left out, an empty version kept.
  const BannerAdViewEvent::ViewEvent plainView("kd_free_trial_2022", std::nullopt, "");
  EXPECT_EQ(plainView.reportingObject(),
            (ReportingObject{"banner_ad_view",
                             Parameters{{"partner_name", std::string("kd_free_trial_2022")},
                                        {"view_version", std::string("")}}}));
  EXPECT_EQ(BannerAdViewEvent::ViewEvent("partner", BannerAdViewEvent::Context{"disconnected"}, "2")
                .reportingObject(),
            (ReportingObject{"banner_ad_view", Parameters{{"partner_name", std::string("partner")},
                                                          {"context", std::string("disconnected")},
                                                          {"view_version", std::string("2")}}}));
  const BannerAdViewEvent::ClickEvent click("partner");
  const BannerAdViewEvent::CloseEvent close("partner");
  EXPECT_EQ(
      click.reportingObject(),
      (ReportingObject{"banner_ad_click", Parameters{{"partner_name", std::string("partner")}}}));
  EXPECT_EQ(
      close.reportingObject(),
      (ReportingObject{"banner_ad_close", Parameters{{"partner_name", std::string("partner")}}}));

  auto outer = Platform::Environment::makeForTesting();
  Platform::Environment::Scope outerScope(*outer);
  UCR::report(click);  // no sink anywhere: dropped

  auto outerSink = std::make_shared<Sandbox::RecordingReporting>();
  outer->setService<UCRSink>(outerSink);
  UCR::report(plainView);
  {
    // A nested environment without a sink drops records; it does not fall back to the outer one.
    auto inner = Platform::Environment::makeForTesting();
    Platform::Environment::Scope innerScope(*inner);
    UCR::report(close);
    auto innerSink = std::make_shared<Sandbox::RecordingReporting>();
    inner->setService<UCRSink>(innerSink);
    UCR::report(click);
    EXPECT_EQ(innerSink->names(), (std::vector<std::string>{"banner_ad_click"}));
  }
  UCR::report(close);
  EXPECT_EQ(outerSink->events(),
            (std::vector<ReportingObject>{plainView.reportingObject(), close.reportingObject()}));

  // Unregistering the sink drops later records again.
  outer->setService<UCRSink>(nullptr);
  UCR::report(click);
  EXPECT_EQ(outerSink->events().size(), 2u);
}

}  // namespace
}  // namespace QVRAdKit
