#pragma once
// ReportingMainQueueChecks makes main-queue checks report only (the test build makes them fatal)
// for its scope, then restores what was set before, so that a test can call operations from the
// wrong thread and read what they logged.
// Threading: make and destroy it on the test's thread, with no other thread running checks.

#include "QVRAdKit/Host/MainQueueCheck.h"

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

}  // namespace QVRAdKit
