#pragma once
// UCRSink is where the host's user-conversion analytics receive the records that UCR::report
// sends. The host registers one in the environment under this type; without one, records are
// dropped.
// Threading: report() is called on the thread that reports, in practice the main queue.

#include "QVRAdKit/Host/ReportingObject.h"

namespace QVRAdKit {

class UCRSink {
 public:
  virtual ~UCRSink() = default;
  virtual void report(const ReportingObject& event) = 0;
};

}  // namespace QVRAdKit
