#include "QVRAdKit/Platform/SystemClock.h"

#include <chrono>

namespace QVRAdKit::Platform {

Date SystemClock::now() const {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return Date(std::chrono::duration<TimeInterval>(sinceEpoch).count());
}

}  // namespace QVRAdKit::Platform
