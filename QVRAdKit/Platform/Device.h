#pragma once
// Device stands in for the phone's device object: whether it is a tablet and its orientation,
// whose changes it announces with UIDeviceOrientationDidChangeNotification (object: the Device),
// synchronously on the thread that sets it.
// Threading: every member may be called from any thread; the host sets it on the main queue.

#include <atomic>
#include <memory>
#include <string_view>

#include "QVRAdKit/Platform/DeviceOrientation.h"
#include "QVRAdKit/Platform/NotificationCenter.h"

namespace QVRAdKit::Platform {

inline constexpr std::string_view UIDeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

class Device {
 public:
  explicit Device(std::shared_ptr<NotificationCenter> notificationCenter,
                  DeviceOrientation initialOrientation = DeviceOrientation::portrait);

  [[nodiscard]] bool isPad() const { return isPad_.load(); }
  void setIsPad(bool isPad) { isPad_.store(isPad); }

  [[nodiscard]] DeviceOrientation orientation() const { return orientation_.load(); }
  // Posts UIDeviceOrientationDidChangeNotification when the orientation changes.
  void setOrientation(DeviceOrientation orientation);

 private:
  const std::shared_ptr<NotificationCenter> notificationCenter_;
  std::atomic<bool> isPad_{false};
  std::atomic<DeviceOrientation> orientation_;
};

}  // namespace QVRAdKit::Platform
