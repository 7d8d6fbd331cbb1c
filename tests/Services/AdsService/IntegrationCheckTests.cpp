// The integration check: each piece a host can forget is reported while it is missing and not once
// it is there; the ads service logs the report once, at its first start-up run.

#include "QVRAdKit/Services/AdsService/IntegrationCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/ImageLoader.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/Images/ScriptedImageLoader.h"
#include "Sandbox/IronSource/ScriptedIronSource.h"
#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Reporting/RecordingReporting.h"
#include "Services/AdsService/AdsServiceTestSupport.h"

namespace QVRAdKit {
namespace {

using testing_support::AdsServiceHarness;

// A fresh environment, installed, and an input whose storage keeps what is written.
class IntegrationCheckTest : public ::testing::Test {
 protected:
  IntegrationCheckTest() { input.storage = storage; }

  std::unique_ptr<Platform::Environment> env = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope{*env};
  std::shared_ptr<testing_support::InMemoryStorage> storage =
      std::make_shared<testing_support::InMemoryStorage>();
  IntegrationCheckInput input;
};

struct Piece {
  const char* name;
  IntegrationIssue::Severity severity;
  std::function<void(Platform::Environment&)> provide;
};

TEST_F(IntegrationCheckTest, EachMissingPieceIsReportedUntilItIsProvided) {
  using Severity = IntegrationIssue::Severity;
  const std::vector<Piece> pieces = {
      {"logger", Severity::warning,
       [](auto& env) {
         env.template setService<QVLogger>(std::make_shared<Sandbox::RecordingLogger>());
       }},
      {"analytics sink", Severity::warning,
       [](auto& env) {
         env.template setService<UCRSink>(std::make_shared<Sandbox::RecordingReporting>());
       }},
      {"image loader", Severity::warning,
       [](auto& env) {
         env.template setService<UI::ImageLoader>(Sandbox::ScriptedImageLoader::create());
       }},
      {"Google Mobile Ads bridge", Severity::error,
       [](auto& env) { (void)Sandbox::GoogleMobileAdsSandbox::install(env); }},
      {"IronSource bridge", Severity::error,
       [](auto& env) { Sandbox::ScriptedIronSource::create()->install(env); }},
      {"consent platform", Severity::error,
       [](auto& env) { Sandbox::ScriptedConsentPlatform::create()->install(env); }},
  };
  IntegrationReport report = checkIntegration(*env, input);
  EXPECT_EQ(report.issues.size(), pieces.size()) << report.text();
  for (const Piece& piece : pieces) {
    const IntegrationIssue* issue = report.find(piece.name);
    ASSERT_NE(issue, nullptr) << piece.name;
    EXPECT_EQ(issue->severity, piece.severity) << piece.name;
    EXPECT_FALSE(issue->problem.empty()) << piece.name;
    EXPECT_FALSE(issue->fix.empty()) << piece.name;
  }
  // Provided one by one: each entry goes, the others stay.
  for (size_t i = 0; i < pieces.size(); ++i) {
    pieces[i].provide(*env);
    report = checkIntegration(*env, input);
    EXPECT_EQ(report.find(pieces[i].name), nullptr) << pieces[i].name;
    EXPECT_EQ(report.issues.size(), pieces.size() - i - 1) << report.text();
  }
  EXPECT_TRUE(report.empty());
  EXPECT_EQ(report.text(), "integration: nothing missing\n");
}

TEST_F(IntegrationCheckTest, BridgesAreCheckedOnlyForTheConfiguredSources) {
  input.sources = {AdSource::ironSource};
  auto report = checkIntegration(*env, input);
  EXPECT_EQ(report.find("Google Mobile Ads bridge"), nullptr);
  EXPECT_NE(report.find("IronSource bridge"), nullptr);
  input.sources = {AdSource::adMob};
  report = checkIntegration(*env, input);
  EXPECT_NE(report.find("Google Mobile Ads bridge"), nullptr);
  EXPECT_EQ(report.find("IronSource bridge"), nullptr);
}

TEST_F(IntegrationCheckTest, StorageMustKeepWhatIsWrittenAndTheProbeLeavesNothing) {
  input.storage = nullptr;
  EXPECT_NE(checkIntegration(*env, input).find("storage"), nullptr);  // none given

  input.storage = storage;
  EXPECT_EQ(checkIntegration(*env, input).find("storage"), nullptr);
  EXPECT_TRUE(storage->values.empty());

  storage->failWrites = true;
  const IntegrationReport failingReport = checkIntegration(*env, input);
  const auto failing = failingReport.find("storage");
  ASSERT_NE(failing, nullptr);
  EXPECT_EQ(failing->severity, IntegrationIssue::Severity::error);
  EXPECT_NE(failing->problem.find("disk full"), std::string::npos);

  storage->failWrites = false;
  storage->forget = true;
  const IntegrationReport forgettingReport = checkIntegration(*env, input);
  const auto forgetting = forgettingReport.find("storage");
  ASSERT_NE(forgetting, nullptr);
  EXPECT_NE(forgetting->problem.find("read back"), std::string::npos);
}

TEST_F(IntegrationCheckTest, AMainQueueNobodyDrainsIsReported) {
  bool ran = false;
  env->mainQueue().async([&ran] { ran = true; });
  EXPECT_EQ(checkIntegration(*env, input).find("main queue"), nullptr);  // just posted
  env->manualClock()->advance(kUndrainedMainQueueAge + 1);
  EXPECT_NE(checkIntegration(*env, input).find("main queue"), nullptr);
  env->mainQueue().runUntilIdle();
  EXPECT_TRUE(ran);
  EXPECT_EQ(checkIntegration(*env, input).find("main queue"), nullptr);
}

TEST(ServiceIntegrationReportTest, TheServiceLogsItsReportOnceAtItsFirstRun) {
  AdsServiceHarness h;
  h.env->setService<UCRSink>(nullptr);
  auto service = h.makeService();
  const IntegrationReport report = service->checkIntegration();
  ASSERT_NE(report.find("analytics sink"), nullptr);
  EXPECT_EQ(report.find("Google Mobile Ads bridge"), nullptr);
  EXPECT_EQ(report.find("storage"), nullptr);

  h.logger->clear();
  service->checkConsentAndLoadAds(false);
  service->checkConsentAndLoadAds(false);
  h.drain();
  std::vector<std::string> logged;
  for (const auto& entry : h.logger->entries()) {
    if (entry.function == "checkIntegration()") logged.push_back(entry.message);
  }
  std::vector<std::string> expected;
  for (const auto& issue : report.issues) expected.push_back(issue.text());
  EXPECT_EQ(logged, expected);
}

// The named dependencies: a service made from them without storage says which one it lacks, and
// its report names the same piece.
TEST(ServiceIntegrationReportTest, ANamedDependencyLeftOutIsReportedByName) {
  AdsServiceHarness h;
  AdsService::Dependencies dependencies;
  dependencies.configProvider = h.configProvider;
  dependencies.userService = h.users;
  dependencies.connectionService = h.connection;
  dependencies.rateUsService = h.rateUs;
  dependencies.reporting = h.reporting;
  auto service = AdsService::create(std::move(dependencies));
  const auto failures = h.logger->assertionFailures();
  ASSERT_EQ(failures.size(), 1U);
  EXPECT_EQ(failures[0].message, "AdsService needs a storage");
  EXPECT_NE(service->checkIntegration().find("storage"), nullptr);
}

}  // namespace
}  // namespace QVRAdKit
