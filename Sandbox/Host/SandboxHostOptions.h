#pragma once
// SandboxHostOptions says how SandboxHost runs one simulated session: the configuration (whose
// consent options carry the simulated user's region and answer), the seed every random draw
// derives from, how much simulated time to play, where the storage file lives, where analytics
// events and module log messages go, and who hears the narration of the host-visible moments.
// A plain value.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Services/AdsService/AdsServiceSnapshot.h"
#include "QVRAdKit/Services/AdsService/IntegrationReport.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"

namespace QVRAdKit::Sandbox {

struct SandboxHostOptions {
  SandboxConfiguration configuration = SandboxConfiguration::defaults();
  // One read-only copy of configuration.googleMobileAds (prepared: its ad units indexed) and of
  // configuration.ironSource for a caller that plays many sessions on these options (the Monte
  // Carlo player): its sessions then share them instead of copying their maps and lists each
  // (their seeds still come from `seed`). They must hold what the configuration holds; none makes
  // each session copy the configuration's.
  std::shared_ptr<const SimulatedGoogleMobileAds::PreparedConfiguration> sharedGoogleMobileAds;
  std::shared_ptr<const SimulatedIronSource::Configuration> sharedIronSource;
  std::uint64_t seed = 1;
  // Seconds of simulated time.
  Platform::TimeInterval duration = 7200;
  // The SQLite file of the host's storage and user defaults; created when missing, kept after.
  std::string storagePath;
  // The store already opened (and so checked) by the caller; when set, storagePath is not read.
  std::shared_ptr<SQLiteKeyValueStore> store;
  // A store on which a session was played before resumes simulated time this many seconds after
  // that session's end (SessionTimeline); a new store starts at ManualClock::kDefaultStart.
  Platform::TimeInterval resumeGap = 3600;
  // Receives every analytics event; none drops them.
  std::shared_ptr<QVReporting> reporting;
  // Whether the summary counts the events (events, and requests and loads per network). A caller
  // that counts them itself (the Monte Carlo player's statistics) turns it off: the events then go
  // straight to `reporting`, and the summary's counts stay 0.
  bool countEvents = true;
  // Receives the module's log messages; none silences them.
  std::shared_ptr<QVLogger> logger;
  bool premium = false;
  // Background work on a thread of its own, as on the phone, or drained by hand on the session's
  // thread (BackgroundExecutor::kDrainedByHand). Either way the host settles it at each step of
  // the clock, so a session plays the same; drained by hand it costs no thread start and no wake.
  size_t backgroundThreads = 1;
  // One line per host-visible moment, prefixed with the simulated time ("[00:03:12] ...");
  // none keeps the session silent.
  std::function<void(std::string_view line)> narrator;
  // Seconds from the session start, increasing and within the duration, at which inspector
  // receives a snapshot of the ads service, taken once everything due by then has run.
  std::vector<Platform::TimeInterval> inspectAt;
  std::function<void(Platform::TimeInterval at, const AdsServiceSnapshot& snapshot)> inspector;
  // Asked before each step of the clock; true ends the session there, as if its time were up:
  // the summary covers the time played (a person pressing Ctrl-C).
  std::function<bool()> stopRequested;
  // Called once at the end of the session, before anything is torn down, with the session's
  // environment (its simulated networks are registered there): lets tests and benchmarks look at
  // what the session holds after a long run.
  std::function<void(Platform::Environment& environment)> atEnd;
  // Called once the session's ads service exists, with its integration report.
  std::function<void(const IntegrationReport& report)> integration;
};

}  // namespace QVRAdKit::Sandbox
