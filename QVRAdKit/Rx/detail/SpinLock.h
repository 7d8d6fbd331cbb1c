#pragma once
// SpinLock guards the few-instruction critical sections of the emission path (store a value,
// read a subscriber list, update a latest-value slot). Taking it free costs one atomic exchange
// and releasing it one store, about half an uncontended std::mutex, which matters because one
// emission through a combined stream takes three or four such locks. A waiter yields its time
// slice instead of burning it, so a holder that was preempted is not starved. Never hold it while
// calling out to user code that may take it again: it is not recursive.
// Threading: any thread; a BasicLockable for std::lock_guard and std::unique_lock.

#include <atomic>
#include <thread>

namespace QVRAdKit::Rx::detail {

class SpinLock {
 public:
  void lock() noexcept {
    if (!locked_.exchange(true, std::memory_order_acquire)) return;
    lockContended();
  }
  void unlock() noexcept { locked_.store(false, std::memory_order_release); }

 private:
  [[gnu::noinline]] void lockContended() noexcept {
    do {
      while (locked_.load(std::memory_order_relaxed)) std::this_thread::yield();
    } while (locked_.exchange(true, std::memory_order_acquire));
  }

  std::atomic<bool> locked_{false};
};

}  // namespace QVRAdKit::Rx::detail
