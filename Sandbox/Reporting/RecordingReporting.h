#pragma once
// RecordingReporting is the analytics sink for tests: it keeps every event it receives in memory,
// in the order received, for the test to inspect. It serves both as the module's QVReporting
// (track) and as the user-conversion sink behind UCR::report; register it for the latter with
// environment.setService<UCRSink>(recorder). Give each role its own instance to keep them apart.
// Threading: every member may be called from any thread.

#include <mutex>
#include <string>
#include <vector>

#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/UCRSink.h"

namespace QVRAdKit::Sandbox {

class RecordingReporting final : public QVReporting, public UCRSink {
 public:
  void track(const ReportingObject& event) override;
  void report(const ReportingObject& event) override;

  // Copies of the events received so far, oldest first.
  [[nodiscard]] std::vector<ReportingObject> events() const;
  // The names of the events received so far, oldest first.
  [[nodiscard]] std::vector<std::string> names() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<ReportingObject> events_;
};

}  // namespace QVRAdKit::Sandbox
