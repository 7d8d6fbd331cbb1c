#pragma once
// Notification is what a NotificationCenter delivers: the notification's name and the object that
// posted it (nullptr when posted without a sender). The object is an identity, never dereferenced
// by the centre.

#include <string>

namespace QVRAdKit::Platform {

struct Notification {
  std::string name;
  const void* object = nullptr;
};

}  // namespace QVRAdKit::Platform
