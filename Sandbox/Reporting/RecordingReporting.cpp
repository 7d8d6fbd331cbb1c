#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit::Sandbox {

void RecordingReporting::track(const ReportingObject& event) {
  std::lock_guard lock(mutex_);
  events_.push_back(event);
}

void RecordingReporting::report(const ReportingObject& event) {
  track(event);
}

std::vector<ReportingObject> RecordingReporting::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> RecordingReporting::names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  result.reserve(events_.size());
  for (const auto& event : events_) result.push_back(event.name);
  return result;
}

void RecordingReporting::clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

}  // namespace QVRAdKit::Sandbox
