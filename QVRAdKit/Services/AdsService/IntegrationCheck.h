#pragma once
// checkIntegration looks over what an environment and an ads service were given and reports what
// is missing or failing (IntegrationReport.h): the environment not installed (no
// Platform::Environment::Scope), the analytics sink for banner events, the image loader, the
// logger, the store of the Unity Ads consent flag, the SDK bridges of the configured ad sources,
// the consent platform, a main queue that nobody drains, the ads service's required host services,
// storage that fails a write and read-back, a start-up run that has waited long on one step, ad
// loads that a network bridge has left unanswered for long, no signed-in user once a run has ended
// (or a user stream that does not give the user there is), and, once a configuration is known, the
// configuration values the module acts on oddly (IntegrationConfigCheck.h). AdsService offers it as
// checkIntegration() and logs it once at its first start-up run (each network's bridge once a
// configuration names that network); the sandbox prints it with --check-integration. The storage
// probe writes, reads back and removes one key (kIntegrationProbeKey); nothing else changes.
// Threading: main queue.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Host/Storage.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/IntegrationReport.h"
#include "QVRAdKit/Services/AdsService/StartUpRunState.h"

namespace QVRAdKit {

inline constexpr std::string_view kIntegrationProbeKey = "AdsService.integrationProbe";

// The host services an ads service cannot do without, by their field in AdsService::Dependencies.
enum class ServiceDependency {
  configProvider,
  userService,
  connectionService,
  rateUsService,
  adsConsentService,
  reporting,
};

struct IntegrationCheckInput {
  // The ad sources to check bridges for: those of the configuration, or all before one arrived.
  std::set<AdSource> sources = {AdSource::adMob, AdSource::ironSource};
  // Whether sources are a configuration's. Before one arrived every network is checked, and a
  // missing bridge is only a warning: the host may never configure that network.
  bool sourcesConfigured = false;
  // The ads service's storage; null is itself reported.
  std::shared_ptr<Storage> storage;
  // The ads service's host services that are null; each is an error entry. Without the consent
  // service the Unity Ads consent flag is never set, so its store is not asked for either.
  std::set<ServiceDependency> missingDependencies;
  // The configuration the service acts on, once one is known (null before): its placements are
  // checked for values that make them act oddly. The caller keeps it alive during the check.
  const AdsConfig* config = nullptr;
  // The step a start-up run in progress waits on and since when, none when no run waits: one
  // that has waited longer than kStalledStartUpStepAge is reported, with the piece to fix.
  std::optional<StartUpWait> runWait;
  // Ads whose load has had no answer (neither an ad nor a failure) for longer than
  // kStalledAdLoadAge: each is reported with its network's bridge.
  struct StalledLoad {
    std::string placement;  // AdsPlacement::description()
    std::string key;
    AdSource source = AdSource::adMob;
    Platform::TimeInterval age = 0;  // seconds since the request
  };
  std::vector<StalledLoad> stalledLoads;
  // A start-up run has ended and the user service gives no user, so the builders load nothing.
  bool noSignedInUser = false;
  // A start-up run has ended and the user service answers a user from currentUser(), yet the
  // builders still wait for one: its userStream() did not give the current user when subscribed.
  bool userStreamSilent = false;
};

// The entry of a user stream that does not give the current user at once (see userStreamSilent).
[[nodiscard]] IntegrationIssue userStreamSilentIssue();

// How long a start-up run may wait on one step before the check reports it.
inline constexpr Platform::TimeInterval kStalledStartUpStepAge = 30;
// How long an ad load may go unanswered before the check reports it: well past the time a network
// takes to answer or give up on its own.
inline constexpr Platform::TimeInterval kStalledAdLoadAge = 120;

[[nodiscard]] IntegrationReport checkIntegration(const Platform::Environment& environment,
                                                 const IntegrationCheckInput& input);

// Adds to report the entries checkIntegration gives for the SDK bridges of sources alone, in its
// order: one per network whose bridge the environment lacks.
void checkBridges(const Platform::Environment& environment, const std::set<AdSource>& sources,
                  bool sourcesConfigured, IntegrationReport& report);

}  // namespace QVRAdKit
