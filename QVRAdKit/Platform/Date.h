#pragma once
// Date is a point in wall-clock time, held as seconds since 1970-01-01 UTC (like the phone's own
// date type), so that it can be compared, offset by fractional intervals and persisted exactly.
// Example: Date later = clock.now().addingTimeInterval(600);

#include <compare>

namespace QVRAdKit::Platform {

// Seconds, possibly fractional or negative.
using TimeInterval = double;

class Date {
 public:
  constexpr Date() = default;
  constexpr explicit Date(TimeInterval secondsSince1970) : seconds_(secondsSince1970) {}

  [[nodiscard]] constexpr TimeInterval timeIntervalSince1970() const { return seconds_; }
  [[nodiscard]] constexpr TimeInterval timeIntervalSince(Date other) const {
    return seconds_ - other.seconds_;
  }
  [[nodiscard]] constexpr Date addingTimeInterval(TimeInterval interval) const {
    return Date(seconds_ + interval);
  }

  // The farthest dates the module ever stores: 4001-01-01 and 0001-01-01 UTC.
  static constexpr Date distantFuture() { return Date(64092211200.0); }
  static constexpr Date distantPast() { return Date(-62135596800.0); }

  constexpr auto operator<=>(const Date&) const = default;

 private:
  TimeInterval seconds_ = 0;
};

}  // namespace QVRAdKit::Platform
