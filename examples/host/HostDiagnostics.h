#pragma once
// Where the module's log lines and analytics go. A phone app forwards them to its own logger and
// analytics; here log lines go to stderr and analytics events are counted for the closing summary.
// Threading: main queue (the module logs and reports there).

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Host/UCRSink.h"

namespace ExampleHost {

// Warnings, errors and assertion failures, with where the module wrote them; the chattier levels
// are dropped to keep the console readable.
class StderrLogger final : public QVRAdKit::QVLogger {
 public:
  void log(QVRAdKit::LogFlag flag, std::string_view message, std::string_view file,
           std::string_view function, int line) override {
    if (flag != QVRAdKit::LogFlag::error && flag != QVRAdKit::LogFlag::warning) return;
    write(flag == QVRAdKit::LogFlag::error ? "error" : "warning", message, file, function, line);
  }
  void assertionFailure(std::string_view message, std::string_view file, std::string_view function,
                        int line) override {
    write("assertion failure", message, file, function, line);
  }

 private:
  static void write(std::string_view level, std::string_view message, std::string_view file,
                    std::string_view function, int line) {
    std::fprintf(stderr, "log %.*s: %.*s (%.*s %.*s:%d)\n", static_cast<int>(level.size()),
                 level.data(), static_cast<int>(message.size()), message.data(),
                 static_cast<int>(file.size()), file.data(), static_cast<int>(function.size()),
                 function.data(), line);
  }
};

// The ads service's events (QVReporting) and the partner banner's records (UCRSink), counted by
// name.
class CountingAnalytics final : public QVRAdKit::QVReporting, public QVRAdKit::UCRSink {
 public:
  void track(const QVRAdKit::ReportingObject& event) override { ++adEvents_[event.name]; }
  void report(const QVRAdKit::ReportingObject& event) override { ++bannerRecords_[event.name]; }

  [[nodiscard]] const std::map<std::string, int>& adEvents() const { return adEvents_; }
  [[nodiscard]] const std::map<std::string, int>& bannerRecords() const { return bannerRecords_; }

 private:
  std::map<std::string, int> adEvents_;
  std::map<std::string, int> bannerRecords_;
};

}  // namespace ExampleHost
