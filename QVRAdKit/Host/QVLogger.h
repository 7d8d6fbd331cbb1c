#pragma once
// QVLogger is the host's log sink. The module never calls it directly: it calls QVLog and
// QVLogAssertionFailure (HostLogger.h), which find the logger installed in the current
// environment. Neither call stops the caller.

#include <string_view>

#include "QVRAdKit/Host/LogFlag.h"

namespace QVRAdKit {

class QVLogger {
 public:
  virtual ~QVLogger() = default;
  virtual void log(LogFlag flag, std::string_view message, std::string_view file,
                   std::string_view function, int line) = 0;
  virtual void assertionFailure(std::string_view message, std::string_view file,
                                std::string_view function, int line) = 0;
};

}  // namespace QVRAdKit
