#pragma once
// JsonLinesReporting is the sandbox's analytics sink: each event becomes one line of JSON,
//   {"event":"ad_shown","parameters":{"placement":"launch","attempt":2}}
// with the parameters in the event's own order, written to a stream it is given or to a file it
// opens for appending. Each line is flushed, so an interrupted run keeps every event it tracked.
// Text that is not valid UTF-8 is written with replacement characters rather than dropped.
// Threading: track may be called from any thread; lines never interleave.

#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Platform/Expected.h"

namespace QVRAdKit::Sandbox {

class JsonLinesReporting final : public QVReporting {
 public:
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.Reporting";
  enum class ErrorCode : std::int64_t { cannotOpen = 1 };

  // Writes to out, which must outlive this object.
  explicit JsonLinesReporting(std::ostream& out);

  // Appends to the file at path, creating it when missing. Never throws.
  [[nodiscard]] static Platform::Expected<std::shared_ptr<JsonLinesReporting>> openFile(
      const std::string& path);

  void track(const ReportingObject& event) override;

  // The line that track writes for event, without its newline.
  [[nodiscard]] static std::string line(const ReportingObject& event);

 private:
  explicit JsonLinesReporting(std::unique_ptr<std::ofstream> file);

  std::mutex mutex_;
  std::unique_ptr<std::ofstream> file_;  // set when this object opened the file
  std::ostream& out_;
};

}  // namespace QVRAdKit::Sandbox
