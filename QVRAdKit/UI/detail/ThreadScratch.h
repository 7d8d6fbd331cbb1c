#pragma once
// ThreadScratch lends a thread's reusable working storage of type T to one computation at a time:
// the first holder gets the thread's kept instance (its memory survives from one use to the next),
// and a computation started while another holds it (a measurer that lays out a label) gets a
// fresh instance of its own. Internal to the UI kit.
// Example:
//   ThreadScratch<Workspace> scratch;
//   scratch->system.clear();
// Threading: one thread; the lease ends with the object.

#include <optional>

namespace QVRAdKit::UI::detail {

template <class T>
class ThreadScratch {
 public:
  ThreadScratch() : useKept_(!keptInUse()) {
    if (useKept_) {
      keptInUse() = true;
    } else {
      own_.emplace();
    }
  }
  ThreadScratch(const ThreadScratch&) = delete;
  ThreadScratch& operator=(const ThreadScratch&) = delete;
  ~ThreadScratch() {
    if (useKept_) keptInUse() = false;
  }

  T& operator*() { return useKept_ ? kept() : *own_; }
  T* operator->() { return &**this; }

 private:
  static T& kept() {
    thread_local T instance;
    return instance;
  }
  static bool& keptInUse() {
    thread_local bool inUse = false;
    return inUse;
  }

  bool useKept_;
  std::optional<T> own_;
};

}  // namespace QVRAdKit::UI::detail
