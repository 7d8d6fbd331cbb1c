#include "QVRAdKit/Platform/Device.h"

#include <utility>

namespace QVRAdKit::Platform {

Device::Device(std::shared_ptr<NotificationCenter> notificationCenter,
               DeviceOrientation initialOrientation)
    : notificationCenter_(std::move(notificationCenter)), orientation_(initialOrientation) {}

void Device::setOrientation(DeviceOrientation orientation) {
  if (orientation_.exchange(orientation) == orientation || !notificationCenter_) return;
  notificationCenter_->post(UIDeviceOrientationDidChangeNotification, this);
}

}  // namespace QVRAdKit::Platform
