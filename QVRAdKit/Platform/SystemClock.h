#pragma once
// SystemClock is the Clock of production: the operating system's real-time clock.
// Threading: any thread.

#include "QVRAdKit/Platform/Clock.h"

namespace QVRAdKit::Platform {

class SystemClock final : public Clock {
 public:
  [[nodiscard]] Date now() const override;
};

}  // namespace QVRAdKit::Platform
