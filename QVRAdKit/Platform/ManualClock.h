#pragma once
// ManualClock is a Clock that moves only when told to: tests and the sandbox set it or advance it
// (forwards or backwards). It starts at a fixed date so that runs are reproducible.
// Example: ManualClock clock; clock.advance(600); // ten minutes later, instantly
// Threading: every member may be called from any thread.

#include <atomic>

#include "QVRAdKit/Platform/Clock.h"

namespace QVRAdKit::Platform {

class ManualClock final : public Clock {
 public:
  // 2027-01-15 08:00:00 UTC: an arbitrary, fixed starting point.
  static constexpr Date kDefaultStart = Date(1'800'000'000);

  explicit ManualClock(Date start = kDefaultStart);

  [[nodiscard]] Date now() const override;
  void set(Date date);
  void advance(TimeInterval interval);

 private:
  std::atomic<TimeInterval> seconds_;
};

}  // namespace QVRAdKit::Platform
