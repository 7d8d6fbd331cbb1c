#include "Sandbox/Host/SandboxHost.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "Sandbox/Consent/RecordingMetaDataStore.h"
#include "Sandbox/Consent/SimulatedConsentPlatform.h"
#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"
#include "Sandbox/Host/SandboxNarration.h"
#include "Sandbox/Host/SandboxSeeds.h"
#include "Sandbox/Host/SandboxSession.h"
#include "Sandbox/Images/SimulatedImageLoader.h"
#include "Sandbox/IronSource/SimulatedIronSource.h"
#include "Sandbox/Reporting/ReportingUCRSink.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Storage/SQLiteUserDefaults.h"
#include "Sandbox/Storage/SessionTimeline.h"

namespace QVRAdKit::Sandbox {
namespace {

// A quarter second from request to image, as on a fair mobile connection.
constexpr Platform::TimeInterval kImageLatency = 0.25;

class SilentLogger final : public QVLogger {
 public:
  void log(LogFlag, std::string_view, std::string_view, std::string_view, int) override {}
  void assertionFailure(std::string_view, std::string_view, std::string_view, int) override {}
};

// MARK: Driving the clock

// Runs everything that is due now, the background executor's work included, until nothing more
// is: a background task may post to the main queue and a main-queue task to the background.
void settle(Platform::Environment& environment) {
  for (;;) {
    environment.background().waitUntilIdle();
    if (environment.mainQueue().runUntilIdle() == 0) return;
    // The main queue is idle now; when its tasks posted no background work either, another round
    // would find nothing to run.
    if (environment.background().isIdle()) return;
  }
}

// Moves the clock to each pending task's due date in turn, settling at each, and ends at end.
// The clock stands still while background work runs, so what that work reads of it, and so every
// draw the simulators make, is the same from one run to the next. Answers false when asked to
// stop before end: the clock then stays at the last step played.
bool advanceTo(Platform::Environment& environment, Platform::ManualClock& clock, Platform::Date end,
               const std::function<bool()>& stopRequested) {
  const auto stopping = [&stopRequested] { return stopRequested && stopRequested(); };
  settle(environment);
  for (auto due = environment.mainQueue().nextDueDate(); due && *due <= end;
       due = environment.mainQueue().nextDueDate()) {
    if (stopping()) return false;
    if (*due > clock.now()) clock.set(*due);
    settle(environment);
  }
  if (stopping()) return false;
  if (end > clock.now()) clock.set(end);
  settle(environment);
  return true;
}

}  // namespace

Platform::Expected<SandboxHostSummary> SandboxHost::run(const SandboxHostOptions& options) {
  auto store = options.store
                   ? Platform::Expected<std::shared_ptr<SQLiteKeyValueStore>>(options.store)
                   : SQLiteKeyValueStore::open(options.storagePath);
  if (!store) return store.error();

  // A kept store plays on from where its last session ended, after the gap; after one that never
  // ended (its process was killed), from the latest moment the store reached.
  // A store whose timeline holds a moment no session reached is refused, not played on as new.
  auto lastSession = SessionTimeline::lastSession(**store);
  if (!lastSession) return lastSession.error();
  const std::optional<SessionTimeline::LastSession>& previous = lastSession.value();
  const Platform::Date firstMoment = previous ? previous->at.addingTimeInterval(options.resumeGap)
                                              : Platform::ManualClock::kDefaultStart;
  // A store keeps dates up to distantFuture only: a session that would end past it could not be
  // read back, and the next run would silently start over.
  if (previous && firstMoment.addingTimeInterval(std::max(0.0, options.duration)) >
                      Platform::Date::distantFuture()) {
    return Platform::Error{"QVRAdKit.SandboxHost", 1,
                           "the kept store's simulated time would run past " +
                               SandboxNarration::utc(Platform::Date::distantFuture()) +
                               " (its last session " + (previous->ended ? "ended " : "reached ") +
                               SandboxNarration::utc(previous->at) +
                               "): use a new --storage file or a shorter --gap"};
  }
  auto clock = std::make_shared<Platform::ManualClock>(firstMoment);
  // A store kept in a file marks the session under way and keeps the simulated moment with
  // every write, so that a process killed before the end leaves where it was.
  const bool kept = (*store)->path() != SQLiteKeyValueStore::kInMemoryPath;
  if (kept) {
    (void)SessionTimeline::recordStart(**store, firstMoment);
    (*store)->stampWrites(SessionTimeline::writeStamp([clock] { return clock->now(); }));
  }
  Platform::Environment::Options environmentOptions;
  environmentOptions.manualClock = clock;
  environmentOptions.backgroundThreadCount = options.backgroundThreads;
  environmentOptions.userDefaults = std::make_shared<SQLiteUserDefaults>(*store);
  auto environment = std::make_unique<Platform::Environment>(std::move(environmentOptions));
  // Without background threads everything runs on this thread (the host drains both queues), so
  // the queues and the registry can do without their locks.
  if (options.backgroundThreads == Platform::BackgroundExecutor::kDrainedByHand) {
    environment->confineToCurrentThread();
    // A store opened here is this session's alone; one handed in may be shared.
    if (!options.store) (*store)->confineToCurrentThread();
  }
  // This thread only: several sessions may run at once, each on a thread of its own.
  Platform::Environment::Scope scope(*environment, Platform::Environment::Scope::Reach::thisThread);

  environment->setService<QVLogger>(options.logger ? options.logger
                                                   : std::make_shared<SilentLogger>());
  // A complete host: the banner's records join the analytics, and images have a loader (the
  // session shows no banner, so neither changes what a session plays or writes).
  environment->setService<UCRSink>(std::make_shared<ReportingUCRSink>(options.reporting));
  environment->setService<UI::ImageLoader>(
      std::make_shared<SimulatedImageLoader>(SimulatedImageLoader::Images{}, kImageLatency));

  const SandboxConfiguration& configuration = options.configuration;
  // The simulations draw from seeds of the session's own, whether their settings are shared.
  SimulatedGoogleMobileAds::install(
      *environment,
      options.sharedGoogleMobileAds
          ? options.sharedGoogleMobileAds
          : std::make_shared<const SimulatedGoogleMobileAds::PreparedConfiguration>(
                configuration.googleMobileAds),
      derivedSeed(options.seed, 1));
  SimulatedIronSource::create(
      options.sharedIronSource
          ? options.sharedIronSource
          : std::make_shared<const SimulatedIronSource::Configuration>(configuration.ironSource),
      derivedSeed(options.seed, 2))
      ->install(*environment);
  SimulatedConsentPlatform::create(configuration.consent)->install(*environment);
  std::make_shared<RecordingMetaDataStore>()->install(*environment);

  if (previous && options.narrator) {
    options.narrator(
        previous->ended
            ? SandboxNarration::stamp(0) + "resuming the kept store at simulated " +
                  SandboxNarration::utc(firstMoment) + ", " +
                  SandboxNarration::seconds(options.resumeGap) + " after its last session ended (" +
                  SandboxNarration::utc(previous->at) + ")"
            : SandboxNarration::stamp(0) +
                  "the last session on this store did not end: it was stopped at simulated " +
                  SandboxNarration::utc(previous->at) +
                  " (the last moment the store reached); resuming after it at simulated " +
                  SandboxNarration::utc(firstMoment) + ", " +
                  SandboxNarration::seconds(options.resumeGap) + " later");
  }
  auto session = std::make_shared<SandboxSession>(*environment, options, *store);
  session->start();
  const Platform::Date start = clock->now();
  bool playing = true;
  for (Platform::TimeInterval at : options.inspectAt) {
    if (!(at >= 0 && at <= options.duration)) continue;
    playing = advanceTo(*environment, *clock, std::max(clock->now(), start.addingTimeInterval(at)),
                        options.stopRequested);
    if (!playing) break;
    if (options.inspector) options.inspector(at, session->snapshot());
  }
  if (playing) {
    playing =
        advanceTo(*environment, *clock, start.addingTimeInterval(std::max(0.0, options.duration)),
                  options.stopRequested);
  }
  SandboxHostSummary summary = session->summary();
  // A stop asked for once every moment up to the end was played cut nothing short.
  summary.stopped = !playing && summary.simulatedSeconds < options.duration;
  // Kept for the next session on this store; a store that cannot take it only costs the next
  // run its resumption, so the failure is not the session's.
  (void)SessionTimeline::recordEnd(**store, clock->now());
  if (options.atEnd) options.atEnd(*environment);
  session->stop();
  if (kept) (*store)->stampWrites(std::nullopt);
  return summary;
}

}  // namespace QVRAdKit::Sandbox
