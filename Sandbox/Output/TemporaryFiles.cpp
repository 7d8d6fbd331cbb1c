#include "Sandbox/Output/TemporaryFiles.h"

#include <array>
#include <atomic>
#include <cstring>

#include <unistd.h>

namespace QVRAdKit::Sandbox {
namespace {

constexpr std::size_t kMaxPath = 4096;

// A slot is free, being written by add(), or ready for the handler to read.
enum State : int { kFree = 0, kWriting = 1, kReady = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  std::array<char, kMaxPath> path{};
};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only read lock-free");

std::array<Slot, TemporaryFiles::kSlots> slots;

}  // namespace

int TemporaryFiles::add(const std::string& path) {
  if (path.size() >= kMaxPath) return -1;
  for (int index = 0; index < kSlots; ++index) {
    Slot& slot = slots[static_cast<std::size_t>(index)];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kWriting)) continue;
    std::memcpy(slot.path.data(), path.c_str(), path.size() + 1);
    slot.state.store(kReady, std::memory_order_release);
    return index;
  }
  return -1;
}

void TemporaryFiles::forget(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  slots[static_cast<std::size_t>(slot)].state.store(kFree, std::memory_order_release);
}

void TemporaryFiles::removeAllNow() {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kReady) ::unlink(slot.path.data());
  }
}

}  // namespace QVRAdKit::Sandbox
