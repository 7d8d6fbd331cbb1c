#pragma once
// RecordingLogger is the log sink for tests: it keeps every message and assertion failure, in the
// order received, with its level, file, function and line, for the test to inspect.
// Threading: every member may be called from any thread.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Host/LogFlag.h"
#include "QVRAdKit/Host/QVLogger.h"

namespace QVRAdKit::Sandbox {

class RecordingLogger final : public QVLogger {
 public:
  struct Entry {
    std::optional<LogFlag> flag;  // none for an assertion failure
    std::string message;
    std::string file;
    std::string function;
    int line = 0;

    [[nodiscard]] bool isAssertionFailure() const { return !flag.has_value(); }
    bool operator==(const Entry&) const = default;
  };

  void log(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line) override;
  void assertionFailure(std::string_view message, std::string_view file, std::string_view function,
                        int line) override;

  // Every entry so far, oldest first.
  [[nodiscard]] std::vector<Entry> entries() const;
  // The assertion failures so far, oldest first.
  [[nodiscard]] std::vector<Entry> assertionFailures() const;
  // The messages of every entry so far (assertion failures included), oldest first.
  [[nodiscard]] std::vector<std::string> messages() const;
  void clear();

 private:
  void record(Entry entry);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace QVRAdKit::Sandbox
