#pragma once
// SessionRoutes are the workbench API's pictures of one session (SessionTrace):
//   POST /api/sessions           {"configuration":TEXT,"seed":"S","minutes":M}
//                                -> 200 the session's picture (SessionJson::picture)
//   POST /api/sessions/snapshot  {"configuration":TEXT,"seed":"S","minutes":M,"at":SECONDS}
//                                -> 200 the inspector's snapshot then (SessionJson::snapshot)
// Bad fields (SessionRequest) are a 400 naming the field; a configuration with errors a 422 with
// the checker's verdict. A session usually plays in a few milliseconds, so both answer at once,
// on the server's thread; but a week of a configuration whose periods are all 0 holds hundreds of
// thousands of moments and hundreds of megabytes while it is played and answered, so at most
// Slots::limit() of them (pictures and snapshots together) are played or being sent at once (a
// picture keeps its slot until the client has read all of it): one more is a 429 saying so, and
// the page may ask again when one has answered. The server's guards (Host, token, origin,
// body size) apply before these.
// Threading: the handlers run on the server's threads and share only the Slots.

#include <cstddef>
#include <mutex>
#include <optional>

#include "Workbench/RouteMethods.h"

namespace QVRAdKit::Workbench::SessionRoutes {

// A count of the sessions being played, bounded by limit.
// Example:
//   Slots slots(2);
//   if (auto hold = slots.take()) { ... }  // the slot is free again when hold is destroyed
// Threading: take() and the holds' destruction may happen on any thread; the Slots outlive
// their holds.
class Slots {
 public:
  class Hold {
   public:
    Hold(Hold&& other) noexcept : slots_(other.slots_) { other.slots_ = nullptr; }
    Hold& operator=(Hold&&) = delete;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold();

   private:
    friend class Slots;
    explicit Hold(Slots& slots) : slots_(&slots) {}
    Slots* slots_;
  };

  explicit Slots(std::size_t limit) : limit_(limit) {}

  // A slot held until the Hold is destroyed; none when limit() are held already.
  [[nodiscard]] std::optional<Hold> take();
  [[nodiscard]] std::size_t limit() const { return limit_; }

 private:
  void release();

  std::size_t limit_;
  std::mutex mutex_;
  std::size_t held_ = 0;
};

void install(RouteMethods& routes, Slots& slots);

}  // namespace QVRAdKit::Workbench::SessionRoutes
