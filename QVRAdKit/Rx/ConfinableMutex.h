#pragma once
// ConfinableMutex is the lock of an object that can do without it when only one thread ever uses
// it. It decides when it is built: on a thread that runs confined (a host that plays everything on
// one thread confines its environment there, and Platform::ThreadConfinement marks the thread for
// as long as that lasts) it never locks; elsewhere it locks like the std::mutex it wraps. An owner
// built before its thread was confined may stop locking later (confineToCurrentThread()).
// Without the lock, a use from another thread would race: debug builds check every lock of a
// confined mutex and abort, naming the owner, when it comes from another thread.
// What marking a thread promises: everything it builds while marked stays on it, for life.
// Threading: a BasicLockable for std::lock_guard and std::unique_lock; confineToCurrentThread()
// before any other thread may see the owner. The marks belong to the thread that set them.

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace QVRAdKit::Rx {

class ConfinableMutex {
 public:
  // owner: the name a breach is reported under, for example "DisposeBag".
  explicit ConfinableMutex(const char* owner) noexcept
      : confined_(confinedMarks() > 0), owner_(owner) {}
  ConfinableMutex(const ConfinableMutex&) = delete;
  ConfinableMutex& operator=(const ConfinableMutex&) = delete;

  void lock() {
    if (!confined_) {
      mutex_.lock();
      return;
    }
#ifndef NDEBUG
    if (std::this_thread::get_id() != thread_) usedFromAnotherThread(owner_);
#endif
  }
  void unlock() {
    if (!confined_) mutex_.unlock();
  }

  // From now on the mutex takes no lock; the calling thread is the only one allowed.
  void confineToCurrentThread() noexcept {
    confined_ = true;
    thread_ = std::this_thread::get_id();
  }
  [[nodiscard]] bool isConfined() const noexcept {
    return confined_;
  }

  // Marks the calling thread as confined until the matching unmarkThread(); marks nest.
  static void markThread() noexcept {
    ++confinedMarks();
  }
  static void unmarkThread() noexcept {
    --confinedMarks();
  }
  [[nodiscard]] static bool isThreadMarked() noexcept {
    return confinedMarks() > 0;
  }

 private:
  static unsigned& confinedMarks() noexcept {
    thread_local unsigned marks = 0;
    return marks;
  }
  [[noreturn, gnu::cold, gnu::noinline]] static void usedFromAnotherThread(const char* owner) {
    std::fprintf(stderr,
                 "QVRAdKit: %s confined to one thread was used from another thread; it takes no "
                 "lock, so sharing it between threads would race\n",
                 owner);
    std::abort();
  }

  std::mutex mutex_;
  bool confined_;
  // Read only by the debug check. Both are members in every build: the layout of every object
  // that holds this mutex must not depend on whether the includer defines NDEBUG, or a Debug
  // host linked with a Release library would see other objects than the library builds.
  [[maybe_unused]] const char* owner_;
  [[maybe_unused]] std::thread::id thread_ = std::this_thread::get_id();
};

}  // namespace QVRAdKit::Rx
