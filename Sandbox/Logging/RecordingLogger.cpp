#include "Sandbox/Logging/RecordingLogger.h"

#include <utility>

namespace QVRAdKit::Sandbox {

void RecordingLogger::log(LogFlag flag, std::string_view message, std::string_view file,
                          std::string_view function, int line) {
  record({flag, std::string(message), std::string(file), std::string(function), line});
}

void RecordingLogger::assertionFailure(std::string_view message, std::string_view file,
                                       std::string_view function, int line) {
  record({std::nullopt, std::string(message), std::string(file), std::string(function), line});
}

void RecordingLogger::record(Entry entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(std::move(entry));
}

std::vector<RecordingLogger::Entry> RecordingLogger::entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<RecordingLogger::Entry> RecordingLogger::assertionFailures() const {
  std::lock_guard lock(mutex_);
  std::vector<Entry> result;
  for (const auto& entry : entries_) {
    if (entry.isAssertionFailure()) result.push_back(entry);
  }
  return result;
}

std::vector<std::string> RecordingLogger::messages() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  result.reserve(entries_.size());
  for (const auto& entry : entries_) result.push_back(entry.message);
  return result;
}

void RecordingLogger::clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

}  // namespace QVRAdKit::Sandbox
