#pragma once
// AdStamps remembers, per ad object (keyed by its uuid), one moment: the reporter's last request or
// opening stamp. Entries are overwritten, never removed, for as long as the table lives.
// It is an open-addressing table (linear probing, at most half full) rather than a node map:
// a stamp hashes the uuid once, whether it finds the entry or adds it, and adding one appends the
// key's characters to one text the table keeps, so a new ad object costs no allocation of its own.
// Example:
//   AdStamps stamps;
//   stamps.set(uuid, clock.now());
//   if (const Platform::Date* at = stamps.find(uuid)) ...
// Threading: one thread at a time.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit {

class AdStamps {
 public:
  AdStamps() = default;
  AdStamps(const AdStamps&) = delete;
  AdStamps& operator=(const AdStamps&) = delete;

  // The moment stored under uuid, or nullptr; valid until the next set().
  [[nodiscard]] const Platform::Date* find(std::string_view uuid) const;
  // Stores at under uuid, replacing what it held.
  void set(std::string_view uuid, Platform::Date at);
  [[nodiscard]] std::size_t size() const { return size_; }

 private:
  struct Slot {
    std::size_t hash = 0;
    Platform::Date at;
    std::size_t keyStart = 0;  // the key's characters in keys_
    std::size_t keySize = 0;
    bool used = false;
  };

  // The slot holding uuid, or the empty one where it would go. The table is never full. Inlined:
  // every look-up and stamp runs it.
  [[nodiscard, gnu::always_inline]] std::size_t probe(std::string_view uuid,
                                                      std::size_t hash) const;
  // Twice the slots (8 at first), every entry placed again by its kept hash.
  void grow();

  std::vector<Slot> slots_;  // a power of two in size, or empty
  std::size_t size_ = 0;
  std::string keys_;  // every key's characters, one after the other
};

}  // namespace QVRAdKit
