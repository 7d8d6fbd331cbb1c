#pragma once
// ThreadConfinement is the promise an object takes that only one thread uses it from now on, so
// that it may skip its locks: the main queue, the background executor and the environment's
// registry when a host runs everything on one thread. A call from any other thread afterwards is
// a programming error that would race; it is written to stderr and aborts instead.
// While a confinement lasts its thread is marked confined (Rx::ConfinableMutex): the objects that
// thread builds meanwhile take no lock either, so they must stay on it.
// Threading: confine() before any other thread may see the owner; the checks from any thread; the
// destruction of a confined owner on its thread (elsewhere it aborts: the mark could not end).

#include <atomic>
#include <thread>

#include "QVRAdKit/Rx/ConfinableMutex.h"

namespace QVRAdKit::Platform {

class ThreadConfinement {
 public:
  ThreadConfinement() = default;
  ThreadConfinement(const ThreadConfinement&) = delete;
  ThreadConfinement& operator=(const ThreadConfinement&) = delete;
  ~ThreadConfinement() {
    if (!isConfined()) return;
    if (std::this_thread::get_id() != thread_) {
      abortWith("QVRAdKit: an object confined to one thread was destroyed on another thread\n");
    }
    Rx::ConfinableMutex::unmarkThread();
  }

  // Confines the owner to the calling thread and marks the thread until the owner is destroyed.
  // Confining again on the same thread changes nothing; from another thread it aborts.
  void confine() {
    if (isConfined()) {
      if (std::this_thread::get_id() == thread_) return;
      abortWith("QVRAdKit: an object confined to one thread was confined to another one\n");
    }
    thread_ = std::this_thread::get_id();
    Rx::ConfinableMutex::markThread();
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
