#pragma once
// QVR_CHECK_MAIN_QUEUE() opens every public operation that belongs to the main queue: those of the
// ads service, the builders, the ads and the consent service. Called on another thread than the
// installed environment's main queue, it reports an assertion failure naming the operation through
// QVLogAssertionFailure, and the operation goes on, as with every unexpected state in the module.
// When checks are fatal it then writes the same text to stderr and aborts: the test build makes
// them fatal, so that a call from the wrong thread fails the suite instead of racing quietly.
// Checks are fatal in debug builds (NDEBUG not defined), when the module is compiled with
// QVR_FATAL_MAIN_QUEUE_CHECKS=1, or after setMainQueueChecksFatal(true); a release build only
// reports unless told otherwise.
// On the main queue it also tells, once, of a host that has never drained its main queue while work
// waits there (kUndrainedMainQueueAge): a logged error, since nothing the module does there runs.
// Unlike assert, the check stays in release builds: it costs a few atomic loads.
// Example: bool AdsService::shouldShowAd(...) const { QVR_CHECK_MAIN_QUEUE(); ... }
// Threading: any thread; that is its point.

#include <string_view>

#include "QVRAdKit/Host/HostLogger.h"
#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit {

// Main-queue work due longer ago than this means nobody drains the queue.
inline constexpr Platform::TimeInterval kUndrainedMainQueueAge = 5;
// What a host that does not drain its main queue must do.
inline constexpr std::string_view kDrainMainQueueFix =
    "Drain environment.mainQueue() from your run loop, on the thread that calls the module: call "
    "runUntilIdle() on every turn and when nextDueDate() comes.";

// Makes failed checks abort after reporting (true) or only report (false, the default in
// release builds).
void setMainQueueChecksFatal(bool fatal) noexcept;
[[nodiscard]] bool mainQueueChecksFatal() noexcept;

// Whether the caller runs on the installed environment's main queue, or no environment is
// installed (there is then nothing to check against: whatever needs the environment fails clearly
// through Environment::current()).
[[nodiscard]] bool onMainQueueOrNoEnvironment() noexcept;
// Reports a call off the main queue (and aborts when checks are fatal); answers false.
bool reportOffMainQueue(std::string_view file, std::string_view function, int line);

// Whether the caller runs on the installed environment's main queue; reports when it does not.
// Inline, so that the check every public operation opens with costs one call, not a frame that
// keeps the report's texts.
inline bool checkMainQueue(std::string_view file, std::string_view function, int line) {
  return onMainQueueOrNoEnvironment() || reportOffMainQueue(file, function, line);
}

}  // namespace QVRAdKit

#define QVR_CHECK_MAIN_QUEUE() ::QVRAdKit::checkMainQueue(QVR_FILE_TEXT, __func__, __LINE__)
