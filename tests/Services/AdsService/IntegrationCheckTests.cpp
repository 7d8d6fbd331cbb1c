// The integration check: each piece a host can forget is reported while it is missing and not once
// it is there; the ads service logs the report once, at its first start-up run.

#include "QVRAdKit/Services/AdsService/IntegrationCheck.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "QVRAdKit/UI/ImageLoader.h"
#include "Sandbox/Consent/ScriptedConsentPlatform.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"
#include "Sandbox/HostServices/SandboxUser.h"
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
      // Before a configuration every network is checked, as a warning (see below).
      {"Google Mobile Ads bridge", Severity::warning,
       [](auto& env) { (void)Sandbox::GoogleMobileAdsSandbox::install(env); }},
      {"IronSource bridge", Severity::warning,
       [](auto& env) { Sandbox::ScriptedIronSource::create()->install(env); }},
      {"consent platform", Severity::error,
       [](auto& env) { Sandbox::ScriptedConsentPlatform::create()->install(env); }},
      {"Unity Ads consent store", Severity::warning,
       [](auto& env) { std::make_shared<Sandbox::RecordingMetaDataStore>()->install(env); }},
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
  input.sourcesConfigured = true;
  auto report = checkIntegration(*env, input);
  EXPECT_EQ(report.find("Google Mobile Ads bridge"), nullptr);
  ASSERT_NE(report.find("IronSource bridge"), nullptr);
  EXPECT_EQ(report.find("IronSource bridge")->severity, IntegrationIssue::Severity::error);
  input.sources = {AdSource::adMob};
  report = checkIntegration(*env, input);
  EXPECT_NE(report.find("Google Mobile Ads bridge"), nullptr);
  EXPECT_EQ(report.find("IronSource bridge"), nullptr);
  // Before any configuration a host that never uses IronSource is not told it is broken.
  input.sources = {AdSource::ironSource};
  input.sourcesConfigured = false;
  report = checkIntegration(*env, input);
  ASSERT_NE(report.find("IronSource bridge"), nullptr);
  EXPECT_EQ(report.find("IronSource bridge")->severity, IntegrationIssue::Severity::warning);
  EXPECT_TRUE(
      report.find("IronSource bridge")->problem.starts_with("No configuration has arrived"));
}

TEST_F(IntegrationCheckTest, StorageMustKeepWhatIsWrittenAndTheProbeLeavesNothing) {
  input.storage = nullptr;
  const IntegrationReport none = checkIntegration(*env, input);
  ASSERT_NE(none.find("storage"), nullptr);
  EXPECT_NE(none.find("storage")->fix.find("Dependencies::storage"), std::string::npos);

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

// An environment that is not the installed one runs without main-queue checks and logs past the
// host's logger: the check says so while it is not installed, and not once a Scope installs it.
TEST_F(IntegrationCheckTest, AnEnvironmentThatIsNotInstalledIsReported) {
  auto other = Platform::Environment::makeForTesting();
  const IntegrationReport uninstalled = checkIntegration(*other, input);
  const IntegrationIssue* issue = uninstalled.find("environment scope");
  ASSERT_NE(issue, nullptr) << uninstalled.text();
  EXPECT_EQ(issue->severity, IntegrationIssue::Severity::warning);
  EXPECT_NE(issue->problem.find("logger"), std::string::npos);
  EXPECT_NE(issue->fix.find("Scope"), std::string::npos);
  EXPECT_EQ(checkIntegration(*env, input).find("environment scope"), nullptr);
  {
    const Platform::Environment::Scope inner(*other);
    EXPECT_EQ(checkIntegration(*other, input).find("environment scope"), nullptr);
    EXPECT_NE(checkIntegration(*env, input).find("environment scope"), nullptr)
        << "the outer environment is shadowed while the inner scope lives";
  }
  EXPECT_NE(checkIntegration(*other, input).find("environment scope"), nullptr);
}

// Placement values the module acts on oddly are warned of once a configuration is known, one
// entry per problem; values it uses as they are raise nothing.
TEST_F(IntegrationCheckTest, OddPlacementValuesOfAKnownConfigurationAreWarnedOf) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const AdsConfig::Sources adMobOnly = {{AdSource::adMob, std::nullopt}};
  const auto connect = [&](AdPlacementConfig placement, AdsConfig::Sources sources) {
    return AdsConfig(std::move(sources), {{InterstitialAdPlacement::connect, std::move(placement)}},
                     {}, {});
  };
  // The connect placement on AdMob with one key and this timeout.
  const auto timeout = [&](double seconds) {
    return connect(AdPlacementConfig({"c"}, AdSource::adMob, seconds), adMobOnly);
  };
  const struct {
    const char* name;
    AdsConfig config;
    std::vector<std::string> problems;  // a text each warning's problem holds, in order
  } cases[] = {
      {"sound", timeout(600), {}},
      {"zero timeout", timeout(0), {}},
      {"NaN timeout",
       timeout(nan),
       {"timeout (nan) is not a finite number of seconds from 0 up: its "
        "interval"}},
      {"negative timeout", timeout(-100), {"timeout (-100)"}},
      {"infinite timeout", timeout(inf), {"timeout (inf)"}},
      {"network not under sources",
       connect(AdPlacementConfig::adMob({"c"}), {}),
       {"adMob, is not under sources"}},
      {"empty key", connect(AdPlacementConfig::adMob({"c", ""}), adMobOnly), {"keys is empty"}},
      {"all at once",
       connect(AdPlacementConfig({""}, AdSource::ironSource, -1), adMobOnly),
       {"timeout (-1)", "ironSource, is not under sources", "keys is empty"}},
      {"app-open timeout",
       AdsConfig(adMobOnly, {}, {},
                 {{AppOpenAdPlacement::main, AdPlacementConfig({"m"}, AdSource::adMob, nan)}}),
       {"timeout (nan) is not a finite number of seconds from 0 up: the app-open timeout"}},
      {"rewarded timeout is not used",
       AdsConfig(adMobOnly, {},
                 {{RewardedAdPlacement::timewall, AdPlacementConfig({"t"}, AdSource::adMob, nan)}},
                 {}),
       {}},
      {"IronSource without its key",
       connect(AdPlacementConfig::ironSource({"c"}), {{AdSource::ironSource, std::nullopt}}),
       {"without an application key"}},
      {"IronSource with an empty key",
       connect(AdPlacementConfig::ironSource({"c"}), {{AdSource::ironSource, ""}}),
       {"with an empty application key"}},
      {"app-open on IronSource",
       AdsConfig({{AdSource::ironSource, "k"}}, {}, {},
                 {{AppOpenAdPlacement::main, AdPlacementConfig::ironSource({"m"})}}),
       {"no app-open ads"}},
      {"no keys", connect(AdPlacementConfig::adMob({}), adMobOnly), {"no ad-unit keys"}},
      {"repeated interstitial key, kept once",
       connect(AdPlacementConfig::adMob({"c", "c"}), adMobOnly),
       {}},
      {"repeated rewarded key",
       AdsConfig(adMobOnly, {},
                 {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"t", "t"})}}, {}),
       {"\"t\" is listed more than once"}},
      {"network out of range",
       connect(AdPlacementConfig({"c"}, static_cast<AdSource>(7), 0), adMobOnly),
       {"AdSource value 7"}},
      {"no placements at all", AdsConfig(adMobOnly, {}, {}, {}), {"has no placements"}},
      {"a rewarded placement only",
       AdsConfig(adMobOnly, {}, {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"t"})}},
                 {}),
       {}},
  };
  for (const auto& c : cases) {
    input.config = &c.config;
    std::vector<const IntegrationIssue*> placementIssues;
    const IntegrationReport report = checkIntegration(*env, input);
    for (const auto& issue : report.issues) {
      if (issue.piece.starts_with("placement ") || issue.piece == "IronSource application key" ||
          issue.piece == "configuration") {
        placementIssues.push_back(&issue);
      }
    }
    if (placementIssues.size() != c.problems.size()) {
      ADD_FAILURE() << c.name << "\n" << report.text();
      continue;
    }
    for (std::size_t i = 0; i < c.problems.size(); ++i) {
      EXPECT_EQ(placementIssues[i]->severity, IntegrationIssue::Severity::warning) << c.name;
      EXPECT_NE(placementIssues[i]->problem.find(c.problems[i]), std::string::npos)
          << c.name << ": " << placementIssues[i]->problem;
    }
  }
  input.config = nullptr;  // no configuration known yet: nothing to say about placements
  for (const auto& issue : checkIntegration(*env, input).issues) {
    EXPECT_FALSE(issue.piece.starts_with("placement ") || issue.piece == "configuration")
        << issue.text();
  }
}

// A start-up step that has waited longer than the limit names what it waits for and who must
// answer; a missing user is reported once a run has ended.
TEST_F(IntegrationCheckTest, AStalledStartUpStepAndAMissingUserAreReported) {
  input.runWait = StartUpWait{StartUpStep::networkStart, AdSource::ironSource, env->clock().now()};
  env->manualClock()->advance(kStalledStartUpStepAge);
  EXPECT_EQ(checkIntegration(*env, input).find("start-up run"), nullptr) << "not yet too long";
  env->manualClock()->advance(1);
  const IntegrationReport stalled = checkIntegration(*env, input);
  const IntegrationIssue* issue = stalled.find("start-up run");
  ASSERT_NE(issue, nullptr) << stalled.text();
  EXPECT_NE(issue->problem.find("31 s for the start of ironSource"), std::string::npos)
      << issue->problem;
  EXPECT_NE(issue->fix.find("bridge"), std::string::npos);
  EXPECT_EQ(stalled.find("user"), nullptr);
  input.noSignedInUser = true;
  EXPECT_NE(checkIntegration(*env, input).find("user"), nullptr);
}

// The service tells the check where its run waits, and whether a user is missing after a run.
TEST(ServiceIntegrationReportTest, TheServiceReportsItsStalledRunAndAMissingUser) {
  testing_support::ConsentedAdsHarness h;
  h.users->setUser(nullptr);
  auto service = h.makeService(h.consentService);
  service->checkConsentAndLoadAds(true);
  ASSERT_TRUE(h.env->runUntil([&] { return h.configProvider->subscriberCount() == 1; }));
  h.clock().advance(kStalledStartUpStepAge + 1);
  const IntegrationReport waiting = service->checkIntegration();
  ASSERT_NE(waiting.find("start-up run"), nullptr) << waiting.text();
  EXPECT_NE(waiting.find("start-up run")->problem.find("configuration stream"), std::string::npos);
  EXPECT_EQ(waiting.find("user"), nullptr) << "no run has ended yet";

  h.configProvider->publish(AdsConfig({{AdSource::adMob, std::nullopt}}, {}, {}, {}));
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  const IntegrationReport ended = service->checkIntegration();
  EXPECT_EQ(ended.find("start-up run"), nullptr);
  EXPECT_NE(ended.find("user"), nullptr) << ended.text();
  h.setPremium(false);
  EXPECT_EQ(service->checkIntegration().find("user"), nullptr);
  EXPECT_EQ(service->checkIntegration().find("user stream"), nullptr);
}

// An ad load the Google Mobile Ads bridge never answers, or answers with neither an ad nor an
// error, holds its key for good: past the limit the service names each such ad with its age, and an
// answer (here a late failure) takes the entry away.
TEST(ServiceIntegrationReportTest, LoadsABridgeLeavesUnansweredAreAnErrorEntry) {
  testing_support::ConsentedAdsHarness h;
  auto service = h.makeService(h.consentService);
  h.configProvider->publish(AdsConfig({{AdSource::adMob, std::nullopt}},
                                      {{InterstitialAdPlacement::connect,
                                        AdPlacementConfig::adMob({"answered", "silent", "empty"})}},
                                      {}, {}));
  service->checkConsentAndLoadAds(true);
  ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
  h.drain();
  ASSERT_TRUE(h.gma->fill(h.lastRequest("answered")));
  ASSERT_TRUE(h.gma->answerEmpty(h.lastRequest("empty")));
  h.clock().advance(kStalledAdLoadAge);
  EXPECT_EQ(service->checkIntegration().find("Google Mobile Ads loads"), nullptr) << "not yet";

  h.clock().advance(1);
  const IntegrationReport stalled = service->checkIntegration();
  const IntegrationIssue* issue = stalled.find("Google Mobile Ads loads");
  ASSERT_NE(issue, nullptr) << stalled.text();
  EXPECT_EQ(issue->severity, IntegrationIssue::Severity::error);
  const std::string connect =
      AdsPlacement::interstitial(InterstitialAdPlacement::connect).description();
  EXPECT_NE(issue->problem.find(": " + connect + " \"silent\" (121 s), " + connect +
                                " \"empty\" (121 s)."),
            std::string::npos)
      << issue->problem;
  EXPECT_EQ(issue->problem.find("answered"), std::string::npos);
  EXPECT_EQ(stalled.find("IronSource loads"), nullptr);

  ASSERT_TRUE(h.gma->fail(h.lastRequest("silent"), {"gma", 2, "late"}));
  const IntegrationReport later = service->checkIntegration();
  ASSERT_NE(later.find("Google Mobile Ads loads"), nullptr);
  EXPECT_EQ(later.find("Google Mobile Ads loads")->problem.find("silent"), std::string::npos);
}

// A user service whose currentUser() answers its user while its stream never gives it (a plain
// subject where a behaviour relay belongs) leaves every builder waiting: an error entry of its own,
// not the missing-user one.
struct SilentUserStream final : UserServiceProtocol {
  [[nodiscard]] QVUserPtr currentUser() const override { return user; }
  [[nodiscard]] bool isPremium() const override { return false; }
  [[nodiscard]] Rx::Observable<QVUserPtr> userStream() const override {
    return Rx::Observable<QVUserPtr>::never();
  }
  QVUserPtr user;
};

TEST(ServiceIntegrationReportTest, AUserStreamThatDoesNotGiveTheCurrentUserIsAnErrorEntry) {
  for (const bool hasUser : {true, false}) {
    testing_support::ConsentedAdsHarness h;
    auto users = std::make_shared<SilentUserStream>();
    if (hasUser) users->user = Sandbox::SandboxUser::make(false);
    auto service = h.makeService(h.consentService, nullptr, users);
    h.configProvider->publish(
        AdsConfig({{AdSource::adMob, std::nullopt}},
                  {{InterstitialAdPlacement::connect, AdPlacementConfig::adMob({"c"})}}, {}, {}));
    service->checkConsentAndLoadAds(true);
    ASSERT_TRUE(h.env->runUntil([&] { return !service->snapshot().runInProgress; }));
    const IntegrationReport report = service->checkIntegration();
    const auto* silent = report.find("user stream");
    EXPECT_EQ(silent != nullptr, hasUser) << report.text();
    if (silent) {
      EXPECT_EQ(silent->severity, IntegrationIssue::Severity::error);
    }
    EXPECT_EQ(report.find("user") != nullptr, !hasUser) << report.text();
  }
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
  // The logger states the level: the line does not repeat it.
  std::vector<std::string> expected;
  for (const auto& issue : report.issues) expected.push_back(issue.message());
  EXPECT_EQ(logged, expected);
  for (const auto& line : logged) {
    EXPECT_FALSE(line.starts_with("error") || line.starts_with("warning")) << line;
  }
}

// Each required host service the service was made without is an error entry naming the field to
// fill; a fully wired service has none of them, and the Unity Ads consent store is asked for only
// when there is a consent service to set its flag. Storage left out is refused as it is made.
TEST(ServiceIntegrationReportTest, EachRequiredHostServiceLeftOutIsAnErrorEntry) {
  AdsServiceHarness h;
  const auto full = [&h] {
    AdsService::Dependencies dependencies;
    dependencies.environment = h.env.get();
    dependencies.configProvider = h.configProvider;
    dependencies.userService = h.users;
    dependencies.connectionService = h.connection;
    dependencies.rateUsService = h.rateUs;
    dependencies.adsConsentService = QVRAdsConsentServiceImpl::create(*h.env);
    dependencies.reporting = h.reporting;
    dependencies.storage = h.storage;
    return dependencies;
  };
  const struct {
    const char* piece;
    const char* field;
    std::function<void(AdsService::Dependencies&)> leaveOut;
  } cases[] = {
      {"configuration provider", "configProvider", [](auto& d) { d.configProvider = nullptr; }},
      {"user service", "userService", [](auto& d) { d.userService = nullptr; }},
      {"connection service", "connectionService", [](auto& d) { d.connectionService = nullptr; }},
      {"rate-us service", "rateUsService", [](auto& d) { d.rateUsService = nullptr; }},
      {"consent service", "adsConsentService", [](auto& d) { d.adsConsentService = nullptr; }},
      {"reporting", "reporting", [](auto& d) { d.reporting = nullptr; }},
  };
  const auto piecesOf = [&cases](const IntegrationReport& report) {
    std::vector<std::string> named;
    for (const auto& c : cases) {
      if (report.find(c.piece)) named.emplace_back(c.piece);
    }
    return named;
  };
  const IntegrationReport wired = AdsService::create(full())->checkIntegration();
  EXPECT_TRUE(piecesOf(wired).empty()) << wired.text();
  ASSERT_NE(wired.find("Unity Ads consent store"), nullptr) << wired.text();

  for (const auto& c : cases) {
    auto dependencies = full();
    c.leaveOut(dependencies);
    const IntegrationReport report =
        AdsService::create(std::move(dependencies))->checkIntegration();
    EXPECT_EQ(piecesOf(report), std::vector<std::string>{c.piece}) << report.text();
    const IntegrationIssue* issue = report.find(c.piece);
    ASSERT_NE(issue, nullptr) << c.piece;
    EXPECT_EQ(issue->severity, IntegrationIssue::Severity::error) << c.piece;
    EXPECT_NE(issue->fix.find(std::string("Dependencies::") + c.field), std::string::npos)
        << issue->fix;
    EXPECT_EQ(report.find("Unity Ads consent store") != nullptr,
              std::string_view(c.field) != "adsConsentService")
        << c.piece;
  }
  std::make_shared<Sandbox::RecordingMetaDataStore>()->install(*h.env);
  EXPECT_EQ(AdsService::create(full())->checkIntegration().find("Unity Ads consent store"),
            nullptr);

  // Without storage the service says at once which dependency it lacks, and its report names it.
  auto withoutStorage = full();
  withoutStorage.storage = nullptr;
  h.logger->clear();
  auto service = AdsService::create(std::move(withoutStorage));
  const auto failures = h.logger->assertionFailures();
  ASSERT_EQ(failures.size(), 1U);
  EXPECT_EQ(failures[0].message, "AdsService needs a storage");
  EXPECT_NE(service->checkIntegration().find("storage"), nullptr);
}

}  // namespace
}  // namespace QVRAdKit
