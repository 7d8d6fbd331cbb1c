#pragma once
// ReportingMainQueueChecks makes main-queue checks report only (the test build makes them fatal)
// for its scope, then restores what was set before, so that a test can call operations from the
// wrong thread and read what they logged.
// Threading: make and destroy it on the test's thread, with no other thread running checks.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Host/MainQueueCheck.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit {

class ReportingMainQueueChecks {
 public:
  ReportingMainQueueChecks() : wasFatal_(mainQueueChecksFatal()) { setMainQueueChecksFatal(false); }
  ~ReportingMainQueueChecks() { setMainQueueChecksFatal(wasFatal_); }
  ReportingMainQueueChecks(const ReportingMainQueueChecks&) = delete;
  ReportingMainQueueChecks& operator=(const ReportingMainQueueChecks&) = delete;

 private:
  bool wasFatal_;
};

// An operation that belongs to the main queue, and a call of it.
struct MainQueueOperation {
  const char* function;
  std::function<void()> call;
};

// Each call logs no assertion failure on the test's thread (the main queue's), and from another
// thread logs one first that names its operation; checks only report meanwhile.
inline void expectEachReportsItselfOffTheMainQueue(
    Sandbox::RecordingLogger& logger, const std::vector<MainQueueOperation>& operations) {
  const ReportingMainQueueChecks reportOnly;
  for (const MainQueueOperation& operation : operations) {
    logger.clear();
    operation.call();
    EXPECT_TRUE(logger.assertionFailures().empty()) << operation.function << " on the main queue";
    std::thread(operation.call).join();
    const auto failures = logger.assertionFailures();
    ASSERT_FALSE(failures.empty()) << operation.function;  // what it calls may report as well
    EXPECT_EQ(failures[0].function, operation.function);
    EXPECT_EQ(failures[0].message, std::string(operation.function) + " called off the main queue");
  }
}

}  // namespace QVRAdKit
