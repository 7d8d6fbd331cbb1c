#pragma once
// StderrLogger is the sandbox's log sink: one line per message on standard error (or a stream it
// is given), as "LEVEL file:line function: message". Messages below the minimum level are
// dropped; assertion failures are always written, marked "ASSERTION FAILURE". Line breaks inside a
// message are written as "\n" so that each message stays one line.
// Threading: every member may be called from any thread; lines never interleave.

#include <iostream>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/LogFlag.h"
#include "QVRAdKit/Host/QVLogger.h"

namespace QVRAdKit::Sandbox {

class StderrLogger final : public QVLogger {
 public:
  // Writes messages at minimumLevel and more severe ones to out, which must outlive this object.
  explicit StderrLogger(LogFlag minimumLevel = LogFlag::info, std::ostream& out = std::cerr);

  void log(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line) override;
  void assertionFailure(std::string_view message, std::string_view file, std::string_view function,
                        int line) override;

  [[nodiscard]] LogFlag minimumLevel() const { return minimumLevel_; }
  [[nodiscard]] static std::string_view levelName(LogFlag flag);

  // The line written for a message, without its newline.
  [[nodiscard]] static std::string format(std::string_view label, std::string_view message,
                                          std::string_view file, std::string_view function,
                                          int line);

 private:
  void write(const std::string& text);

  const LogFlag minimumLevel_;
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace QVRAdKit::Sandbox
