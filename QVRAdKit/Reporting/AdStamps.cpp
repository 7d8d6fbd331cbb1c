#include "QVRAdKit/Reporting/AdStamps.h"

#include <algorithm>

#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"

namespace QVRAdKit {

inline std::size_t AdStamps::probe(std::string_view uuid, std::size_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
    const Slot& slot = slots_[index];
    if (!slot.used) return index;
    if (slot.hash == hash &&
        Platform::TextEqual{}(std::string_view(keys_.data() + slot.keyStart, slot.keySize), uuid)) {
      return index;
    }
  }
}

const Platform::Date* AdStamps::find(std::string_view uuid) const {
  if (slots_.empty()) return nullptr;
  const Slot& slot = slots_[probe(uuid, Platform::TextHash{}(uuid))];
  return slot.used ? &slot.at : nullptr;
}

void AdStamps::set(std::string_view uuid, Platform::Date at) {
  const std::size_t hash = Platform::TextHash{}(uuid);
  std::size_t index = 0;
  if (!slots_.empty()) {
    index = probe(uuid, hash);
    if (slots_[index].used) {
      slots_[index].at = at;
      return;
    }
  }
  // A new key: keeps the table at most half full, so a probe always ends at an empty slot.
  if ((size_ + 1) * 2 > slots_.size()) {
    grow();
    index = probe(uuid, hash);
  }
  slots_[index] = Slot{hash, at, keys_.size(), uuid.size(), true};
  keys_.append(uuid);
  ++size_;
}

void AdStamps::grow() {
  std::vector<Slot> old(std::max<std::size_t>(8, slots_.size() * 2));
  old.swap(slots_);
  // Room for the keys of a half-full table at a uuid's length, so that appending one seldom
  // moves them all.
  constexpr std::size_t kUUIDSize = 36;
  keys_.reserve(slots_.size() / 2 * kUUIDSize);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (!slot.used) continue;
    std::size_t index = slot.hash & mask;
    while (slots_[index].used) index = (index + 1) & mask;
    slots_[index] = slot;
  }
}

}  // namespace QVRAdKit
