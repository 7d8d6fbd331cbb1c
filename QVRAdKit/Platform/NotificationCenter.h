#pragma once
// NotificationCenter delivers named notifications synchronously, on the posting thread, to the
// observers registered for that name: those registered with a sender object get only that
// sender's posts; those registered with nullptr get every sender's. Observers are called in
// registration order.
// An observer registered with an owner (a weak_ptr, never kept alive by the centre) is dropped once
// the owner has expired; the owner is held alive only while its handler runs.
// Example: center.addObserver(weak_from_this(), UIApplicationDidBecomeActiveNotification, nullptr,
//                             [weak = weak_from_this()](const Notification&) { ... });
// Threading: every member may be called from any thread, until confineToCurrentThread(). Observers
// added during a post are not called by that post; an observer removed during a post on the same
// thread is not called after the removal.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Notification.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"

namespace QVRAdKit::Platform {

class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  // object: the only sender to observe, or nullptr for any sender. Returns the registration id.
  std::uint64_t addObserver(std::string name, const void* object, Handler handler);
  // Same, with a registration that ends by itself once owner has expired.
  void addObserver(std::weak_ptr<const void> owner, std::string name, const void* object,
                   Handler handler);
  // Unknown or already removed ids are ignored.
  void removeObserver(std::uint64_t id);

  void post(std::string_view name, const void* object = nullptr);

  // Registrations currently held (expired owners are dropped at the next post).
  [[nodiscard]] size_t observerCount() const;

  // Promises that only the calling thread uses the centre from now on, so that it takes no lock;
  // before any other thread may see it (its environment's confinement does this).
  void confineToCurrentThread() { mutex_.confineToCurrentThread(); }

 private:
  struct Registration {
    std::uint64_t id = 0;
    std::string name;
    const void* object = nullptr;
    std::shared_ptr<const Handler> handler;  // shared so a removal cannot destroy a running handler
    std::weak_ptr<const void> owner;
    bool owned = false;
  };

  std::uint64_t add(Registration registration);
  // The registration of id, or the end; ids only grow, so the list stays sorted by them.
  [[nodiscard]] std::vector<Registration>::iterator findLocked(std::uint64_t id);

  mutable Rx::ConfinableMutex mutex_{"NotificationCenter"};
  // In registration order (by id): a post walks them all, and a contiguous list walks fastest;
  // a centre holds a few dozen, so removing one from the middle stays cheap.
  std::vector<Registration> registrations_;
  std::uint64_t nextId_ = 1;
};

}  // namespace QVRAdKit::Platform
