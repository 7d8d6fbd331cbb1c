#pragma once
// ThreadConfinement is the promise an object takes that only one thread uses it from now on, so
// that it may skip its locks: the main queue, the background executor and the environment's
// registry when a host runs everything on one thread. A call from any other thread afterwards is
// a programming error that would race; it is written to stderr and aborts instead.
// Threading: confine() before any other thread may see the owner; the checks from any thread.

#include <atomic>
#include <thread>

namespace QVRAdKit::Platform {

class ThreadConfinement {
 public:
  // Confines the owner to the calling thread.
  void confine() {
    thread_ = std::this_thread::get_id();
    confined_.store(true, std::memory_order_release);
  }

  // Whether the owner is confined, after checking that the caller is its thread: on another, the
  // breach is reported in the owner's name and the process aborts. The acquire pairs with
  // confine()'s release, so a thread that sees the confinement also sees the thread it names.
  [[nodiscard]] bool checkHere(const char* owner) const {
    if (!confined_.load(std::memory_order_acquire)) return false;
    if (std::this_thread::get_id() != thread_) usedFromAnotherThread(owner);
    return true;
  }

  // Whether confined, without the check (for a caller already checked).
  [[nodiscard]] bool isConfined() const { return confined_.load(std::memory_order_relaxed); }

  // Writes message to stderr and aborts.
  [[noreturn]] static void abortWith(const char* message);

 private:
  [[noreturn]] static void usedFromAnotherThread(const char* owner);

  std::atomic<bool> confined_{false};
  std::thread::id thread_;  // written once, before confined_ turns true
};

}  // namespace QVRAdKit::Platform
