#include "QVRAdKit/Host/MainQueueCheck.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "QVRAdKit/Platform/Environment.h"

// A debug build stops at the first call from the wrong thread; a release build reports and goes on.
#ifndef QVR_FATAL_MAIN_QUEUE_CHECKS
#ifdef NDEBUG
#define QVR_FATAL_MAIN_QUEUE_CHECKS 0
#else
#define QVR_FATAL_MAIN_QUEUE_CHECKS 1
#endif
#endif

namespace QVRAdKit {

namespace {

std::atomic<bool> fatalChecks{QVR_FATAL_MAIN_QUEUE_CHECKS != 0};

// Logged once per queue; a logger that throws loses the line, never the caller's operation.
// Kept out of line: inlined, its message's frame would make every main-queue check (one per
// public operation) save and restore registers it never uses.
[[gnu::cold, gnu::noinline]] void reportNeverDrained(const Platform::MainQueue& queue) noexcept {
  if (!queue.takeNeverDrainedNotice(kUndrainedMainQueueAge)) return;
  std::string message =
      "Nobody has drained the main queue, and work posted to it has waited over " +
      std::to_string(static_cast<int>(kUndrainedMainQueueAge)) +
      " s: nothing the module does on it (loads, timers, callbacks) happens. ";
  message.append(kDrainMainQueueFix);
  try {
    QVLog(LogFlag::error, message, QVR_FILE_TEXT, "runUntilIdle()", __LINE__);
  } catch (...) {
  }
}

}  // namespace

void setMainQueueChecksFatal(bool fatal) noexcept {
  fatalChecks.store(fatal, std::memory_order_relaxed);
}

bool mainQueueChecksFatal() noexcept {
  return fatalChecks.load(std::memory_order_relaxed);
}

bool onMainQueueOrNoEnvironment() noexcept {
  const Platform::Environment* environment = Platform::Environment::installed();
  if (environment == nullptr) return true;
  const Platform::MainQueue& queue = environment->mainQueue();
  if (!queue.isCurrent()) return false;
  if (!queue.hasBeenDrained()) reportNeverDrained(queue);
  return true;
}

bool reportOffMainQueue(std::string_view file, std::string_view function, int line) {
  std::string message(function);
  message.append(" called off the main queue");
  QVLogAssertionFailure(message, file, function, line);
  if (mainQueueChecksFatal()) {
    std::string text = "QVRAdKit: ";
    text.append(file).append(":").append(std::to_string(line)).append(" ").append(message);
    text.append("\n");
    std::fputs(text.c_str(), stderr);
    std::abort();
  }
  return false;
}

}  // namespace QVRAdKit
