#pragma once
// RecordingReporting is the analytics sink for tests: it keeps every tracked event in memory, in
// the order tracked, for the test to inspect.
// Threading: every member may be called from any thread.

#include <mutex>
#include <string>
#include <vector>

#include "QVRAdKit/Host/QVReporting.h"

namespace QVRAdKit::Sandbox {

class RecordingReporting final : public QVReporting {
 public:
  void track(const ReportingObject& event) override;

  // Copies of the events tracked so far, oldest first.
  [[nodiscard]] std::vector<ReportingObject> events() const;
  // The names of the events tracked so far, oldest first.
  [[nodiscard]] std::vector<std::string> names() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<ReportingObject> events_;
};

}  // namespace QVRAdKit::Sandbox
