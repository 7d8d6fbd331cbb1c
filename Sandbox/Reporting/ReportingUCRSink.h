#pragma once
// ReportingUCRSink sends the partner banner's user-conversion records (UCR::report) to the same
// analytics as the module's own events, so that a host with one analytics object loses none of
// them. Without an analytics object, records are dropped.
// Example: environment->setService<UCRSink>(std::make_shared<ReportingUCRSink>(reporting));
// Threading: that of the analytics object it forwards to.

#include <memory>
#include <utility>

#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/UCRSink.h"

namespace QVRAdKit::Sandbox {

class ReportingUCRSink final : public UCRSink {
 public:
  explicit ReportingUCRSink(std::shared_ptr<QVReporting> reporting)
      : reporting_(std::move(reporting)) {}

  void report(const ReportingObject& event) override {
    if (reporting_) reporting_->track(event);
  }

 private:
  std::shared_ptr<QVReporting> reporting_;
};

}  // namespace QVRAdKit::Sandbox
