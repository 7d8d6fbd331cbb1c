#include "QVRAdKit/Platform/ManualClock.h"

namespace QVRAdKit::Platform {

ManualClock::ManualClock(Date start) : seconds_(start.timeIntervalSince1970()) {}

Date ManualClock::now() const {
  return Date(seconds_.load(std::memory_order_acquire));
}

void ManualClock::set(Date date) {
  seconds_.store(date.timeIntervalSince1970(), std::memory_order_release);
}

void ManualClock::advance(TimeInterval interval) {
  seconds_.fetch_add(interval, std::memory_order_acq_rel);
}

}  // namespace QVRAdKit::Platform
