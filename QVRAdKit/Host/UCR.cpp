#include "QVRAdKit/Host/UCR.h"

#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

void UCR::report(const UCRReportable& record) {
  // The record is not even converted when nobody listens.
  if (auto sink = Platform::Environment::current().service<UCRSink>()) {
    sink->report(record.reportingObject());
  }
}

}  // namespace QVRAdKit
