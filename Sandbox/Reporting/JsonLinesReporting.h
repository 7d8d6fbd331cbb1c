#pragma once
// JsonLinesReporting is the sandbox's analytics sink: each event becomes one line of JSON,
//   {"event":"ad_shown","parameters":{"placement":"launch","attempt":2}}
// with the parameters in the event's own order, written to a stream it is given or to a file it
// opens. Lines are buffered and written in batches (when the buffer fills, at flush() and at
// destruction), not one write per event. Every write is checked: the first one that fails (a full
// disk, a closed pipe) is kept as error(), nothing more is written, and the events that did not
// reach the stream are counted as lost, so a caller never reports events it did not write.
// A file opened with OpenMode::replace is an AtomicFile: the old file stays as it was until
// commit() renames the complete new one into place; without commit() nothing replaces it.
// Text that is not valid UTF-8 is written with replacement characters rather than dropped.
// Example:
//   auto sink = JsonLinesReporting::openFile("events.jsonl");
//   ... (*sink)->track(event) ...
//   if (auto error = (*sink)->commit()) report(*error);  // lost() events are not in the file
// Threading: every member may be called from any thread; lines never interleave.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/QVReporting.h"
#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Output/AtomicFile.h"

namespace QVRAdKit::Sandbox {

class JsonLinesReporting final : public QVReporting {
 public:
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.Reporting";
  enum class ErrorCode : std::int64_t { cannotOpen = 1, writeFailed = 2 };
  // append writes at the end of the file in place; replace writes a new file (see above).
  enum class OpenMode { append, replace };
  // Lines are handed to the stream once this many bytes are waiting.
  static constexpr std::size_t kBufferBytes = std::size_t{64} * 1024;

  // Writes to out, which must outlive this object or its last track() and flush() (the destructor
  // writes only lines still waiting); name says what out is in error messages.
  explicit JsonLinesReporting(std::ostream& out, std::string name = "the analytics stream");
  ~JsonLinesReporting() override;
  JsonLinesReporting(const JsonLinesReporting&) = delete;
  JsonLinesReporting& operator=(const JsonLinesReporting&) = delete;

  // Opens the file at path (creating it when missing). Never throws.
  [[nodiscard]] static Platform::Expected<std::shared_ptr<JsonLinesReporting>> openFile(
      const std::string& path, OpenMode mode = OpenMode::replace);

  void track(const ReportingObject& event) override;

  // Writes what is buffered and flushes the stream; answers error().
  std::optional<Platform::Error> flush();
  // flush(), then puts an opened file in place (synced to disk); answers error(). After it,
  // nothing more is written.
  std::optional<Platform::Error> commit();
  // The first write that failed, if any.
  [[nodiscard]] std::optional<Platform::Error> error() const;
  // Events known to have reached the stream (flushed without error).
  [[nodiscard]] std::int64_t written() const;
  // Events tracked that did not reach the stream because a write failed.
  [[nodiscard]] std::int64_t lost() const;

  // The line that track writes for event, without its newline.
  [[nodiscard]] static std::string line(const ReportingObject& event);

 private:
  explicit JsonLinesReporting(std::unique_ptr<AtomicFile> file);
  void flushLocked();

  mutable std::mutex mutex_;
  std::unique_ptr<AtomicFile> file_;  // set when this object opened the file
  std::ostream* out_ = nullptr;       // otherwise
  const std::string name_;
  std::string buffer_;
  std::int64_t buffered_ = 0;
  std::int64_t written_ = 0;
  std::int64_t lost_ = 0;
  bool committed_ = false;
  std::optional<Platform::Error> error_;
};

}  // namespace QVRAdKit::Sandbox
