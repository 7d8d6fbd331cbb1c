#pragma once
// notificationStream turns the notifications of one name into a stream: it emits each posted
// notification (from any sender when object is nullptr) until the subscription is disposed.
// The stream holds the notification centre weakly; once the centre is gone it emits nothing.
// Example: notificationStream(env.notificationCenterPtr(),
// UIDeviceOrientationDidChangeNotification)

#include <memory>
#include <string>

#include "QVRAdKit/Platform/Notification.h"
#include "QVRAdKit/Platform/NotificationCenter.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit::Platform {

inline Rx::Observable<Notification> notificationStream(
    const std::shared_ptr<NotificationCenter>& center, std::string name,
    const void* object = nullptr) {
  std::weak_ptr<NotificationCenter> weakCenter = center;
  return Rx::Observable<Notification>::create(
      [weakCenter, name = std::move(name),
       object](const Rx::ObserverPtr<Notification>& observer) -> Rx::Disposable {
        auto strongCenter = weakCenter.lock();
        if (!strongCenter) return {};
        auto id = strongCenter->addObserver(
            name, object,
            [observer](const Notification& notification) { observer->onNext(notification); });
        return Rx::Disposable::create([weakCenter, id] {
          if (auto liveCenter = weakCenter.lock()) liveCenter->removeObserver(id);
        });
      });
}

}  // namespace QVRAdKit::Platform
