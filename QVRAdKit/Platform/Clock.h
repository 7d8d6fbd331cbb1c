#pragma once
// Clock answers the current wall-clock time. Production uses SystemClock; tests and the sandbox use
// ManualClock so that "600 seconds later" or a clock set backwards happen without waiting. Nothing
// else in the code base reads the system time.
// Threading: now() may be called from any thread.

#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit::Platform {

class Clock {
 public:
  virtual ~Clock() = default;

  [[nodiscard]] virtual Date now() const = 0;
};

}  // namespace QVRAdKit::Platform
