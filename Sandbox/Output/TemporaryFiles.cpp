#include "Sandbox/Output/TemporaryFiles.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <system_error>

#include <sys/types.h>
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

std::string TemporaryFiles::tag() {
  return std::to_string(::getpid()) + "-";
}

int TemporaryFiles::sweep(const std::filesystem::path& directory, std::string_view prefix,
                          std::initializer_list<std::string_view> suffixes) {
  std::error_code failed;
  std::filesystem::directory_iterator entries(directory, failed);
  if (failed) return 0;
  int removed = 0;
  for (const auto end = std::filesystem::directory_iterator(); entries != end;
       entries.increment(failed)) {
    if (failed) break;
    const std::string name = entries->path().filename().string();
    if (!name.starts_with(prefix) ||
        std::ranges::none_of(suffixes, [&name, prefix](std::string_view suffix) {
          return name.size() > prefix.size() + suffix.size() && name.ends_with(suffix);
        })) {
      continue;
    }
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    pid_t owner = 0;
    const auto [after, error] = std::from_chars(rest.data(), rest.data() + rest.size(), owner);
    if (error != std::errc() || owner <= 0 || after == rest.data() + rest.size() || *after != '-' ||
        owner == ::getpid()) {
      continue;
    }
    // A process that is gone: signal 0 finds no one (one not ours to signal is alive).
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    if (std::filesystem::remove(entries->path(), ignored)) ++removed;
  }
  return removed;
}

}  // namespace QVRAdKit::Sandbox
