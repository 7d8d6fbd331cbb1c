#pragma once
// PendingRequests remembers the ad requests still waiting for their answer, by the ad's uuid, each
// with the placement it counts for, in the order they were made. An answer nearly always comes to
// one of the last few requests, so a look-up walks back from the newest: a session's handful of
// waiting requests costs a comparison or two, with no hashing and no node to unlink. At most
// `limit` are held: a request that finds the list full first forgets every request older than the
// newest limit / 2 made (by the count of requests made, answered ones included). A request made
// again under a waiting uuid (a rewarded ad that loads again keeps its uuid) replaces the old one.
// Entries taken out keep their text's memory for the next request, so a run of many sessions
// stops allocating once it has seen the most requests waiting at once.
// Example:
//   PendingRequests pending(1024);
//   pending.remember(uuid, placement);
//   if (const auto waited = pending.take(uuid)) ++rows[*waited].fills;
// Threading: a value; one thread at a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QVRAdKit::Sandbox {

class PendingRequests {
 public:
  explicit PendingRequests(std::size_t limit) : limit_(limit) {}

  // Remembers the request of aaid, for placement.
  void remember(std::string_view aaid, std::size_t placement);
  // The placement of aaid's waiting request, which is forgotten; none when none waits.
  [[nodiscard]] std::optional<std::size_t> take(std::string_view aaid);
  [[nodiscard]] std::size_t size() const { return live_; }
  // Forgets every waiting request and the count of requests made; the memory stays.
  void clear();

 private:
  struct Entry {
    std::string aaid;
    std::size_t placement = 0;
    std::uint64_t serial = 0;  // the count of requests made before this one
  };

  // The waiting request of aaid, searched from the newest; live_ when none.
  [[nodiscard]] std::size_t find(std::string_view aaid) const;
  // Moves the waiting entry at index behind the waiting ones, among the spares.
  void drop(std::size_t index);
  // Forgets the requests made before the newest limit_ / 2.
  void forgetOldest();

  std::size_t limit_;
  // The first live_ entries wait, oldest first (in serial order); the rest are spares.
  std::vector<Entry> entries_;
  std::size_t live_ = 0;
  std::uint64_t serial_ = 0;
};

}  // namespace QVRAdKit::Sandbox
