#include "QVRAdKit/Host/UCR.h"

#include "QVRAdKit/Host/UCRSink.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

void UCR::report(const Platform::Environment& environment, const UCRReportable& record) {
  // The record is not even converted when nobody listens.
  if (auto sink = environment.service<UCRSink>()) sink->report(record.reportingObject());
}

void UCR::report(const UCRReportable& record) {
  report(Platform::Environment::current(), record);
}

}  // namespace QVRAdKit
