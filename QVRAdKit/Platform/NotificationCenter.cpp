#include "QVRAdKit/Platform/NotificationCenter.h"

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace QVRAdKit::Platform {

std::uint64_t NotificationCenter::addObserver(std::string name, const void* object,
                                              Handler handler) {
  return add(Registration{
      std::move(name), object, std::make_shared<const Handler>(std::move(handler)), {}, false});
}

void NotificationCenter::addObserver(std::weak_ptr<const void> owner, std::string name,
                                     const void* object, Handler handler) {
  add(Registration{std::move(name), object, std::make_shared<const Handler>(std::move(handler)),
                   std::move(owner), true});
}

std::uint64_t NotificationCenter::add(Registration registration) {
  std::lock_guard lock(mutex_);
  const std::uint64_t id = nextId_++;
  registrations_.emplace(id, std::move(registration));
  return id;
}

void NotificationCenter::removeObserver(std::uint64_t id) {
  std::shared_ptr<const Handler> removed;  // destroyed after the lock is released
  std::lock_guard lock(mutex_);
  auto found = registrations_.find(id);
  if (found == registrations_.end()) return;
  removed = std::move(found->second.handler);
  registrations_.erase(found);
}

void NotificationCenter::post(std::string_view name, const void* object) {
  struct Delivery {
    std::uint64_t id = 0;
    std::shared_ptr<const Handler> handler;
    std::weak_ptr<const void> owner;
    bool owned = false;
  };
  // The observers to call, gathered under the lock: the first few wait on the stack, so a post
  // to a handful of observers allocates nothing for them.
  constexpr std::size_t kNearby = 8;
  std::array<Delivery, kNearby> nearby;
  std::vector<Delivery> more;
  std::size_t count = 0;
  std::vector<std::shared_ptr<const Handler>> expired;  // destroyed without the lock
  {
    std::lock_guard lock(mutex_);
    for (auto it = registrations_.begin(); it != registrations_.end();) {
      Registration& registration = it->second;
      if (registration.owned && registration.owner.expired()) {
        expired.push_back(std::move(registration.handler));
        it = registrations_.erase(it);
        continue;
      }
      if (registration.name == name &&
          (registration.object == nullptr || registration.object == object)) {
        Delivery delivery{it->first, registration.handler, registration.owner, registration.owned};
        if (count < kNearby) {
          nearby[count] = std::move(delivery);
        } else {
          more.push_back(std::move(delivery));
        }
        ++count;
      }
      ++it;
    }
  }

  const Notification notification{std::string(name), object};
  for (std::size_t i = 0; i < count; ++i) {
    const Delivery& delivery = i < kNearby ? nearby[i] : more[i - kNearby];
    std::shared_ptr<const void> owner;
    if (delivery.owned) {
      owner = delivery.owner.lock();
      if (!owner) continue;
    }
    {
      std::lock_guard lock(mutex_);
      if (!registrations_.contains(delivery.id)) continue;  // removed by an earlier handler
    }
    (*delivery.handler)(notification);
  }
}

size_t NotificationCenter::observerCount() const {
  std::lock_guard lock(mutex_);
  return registrations_.size();
}

}  // namespace QVRAdKit::Platform
