#include "QVRAdKit/Platform/NotificationCenter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace QVRAdKit::Platform {

std::uint64_t NotificationCenter::addObserver(std::string name, const void* object,
                                              Handler handler) {
  return add(Registration{
      0, std::move(name), object, std::make_shared<const Handler>(std::move(handler)), {}, false});
}

void NotificationCenter::addObserver(std::weak_ptr<const void> owner, std::string name,
                                     const void* object, Handler handler) {
  add(Registration{0, std::move(name), object, std::make_shared<const Handler>(std::move(handler)),
                   std::move(owner), true});
}

std::uint64_t NotificationCenter::add(Registration registration) {
  // A centre holds a few dozen registrations (one environment's services, builders and ads):
  // room for them at the first one saves regrowing, and moving them, through the small sizes.
  constexpr std::size_t kTypicalRegistrations = 32;
  std::lock_guard lock(mutex_);
  if (registrations_.capacity() == 0) registrations_.reserve(kTypicalRegistrations);
  registration.id = nextId_++;
  registrations_.push_back(std::move(registration));
  return registrations_.back().id;
}

std::vector<NotificationCenter::Registration>::iterator NotificationCenter::findLocked(
    std::uint64_t id) {
  auto found = std::lower_bound(registrations_.begin(), registrations_.end(), id,
                                [](const Registration& registration, std::uint64_t wanted) {
                                  return registration.id < wanted;
                                });
  return found != registrations_.end() && found->id == id ? found : registrations_.end();
}

void NotificationCenter::removeObserver(std::uint64_t id) {
  std::shared_ptr<const Handler> removed;  // destroyed after the lock is released
  std::lock_guard lock(mutex_);
  auto found = findLocked(id);
  if (found == registrations_.end()) return;
  removed = std::move(found->handler);
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
    // Registrations whose owner has expired are dropped on the way, the others closed up in order.
    auto kept = registrations_.begin();
    for (auto it = registrations_.begin(); it != registrations_.end(); ++it) {
      Registration& registration = *it;
      if (registration.owned && registration.owner.expired()) {
        expired.push_back(std::move(registration.handler));
        continue;
      }
      if (registration.name == name &&
          (registration.object == nullptr || registration.object == object)) {
        Delivery delivery{registration.id, registration.handler, registration.owner,
                          registration.owned};
        if (count < kNearby) {
          nearby[count] = std::move(delivery);
        } else {
          more.push_back(std::move(delivery));
        }
        ++count;
      }
      if (kept != it) *kept = std::move(registration);
      ++kept;
    }
    registrations_.erase(kept, registrations_.end());
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
      // Removed by an earlier handler: not called.
      if (findLocked(delivery.id) == registrations_.end()) continue;
    }
    (*delivery.handler)(notification);
  }
}

size_t NotificationCenter::observerCount() const {
  std::lock_guard lock(mutex_);
  return registrations_.size();
}

}  // namespace QVRAdKit::Platform
