#pragma once
// MainQueue is the serial FIFO queue that stands in for the phone's main thread: "the main thread"
// is whichever thread drains it. Tasks are due now (async) or at a clock time (asyncAfter,
// asyncAt; timers and animations); runUntilIdle() runs every due task in due-date order, then in
// posting order, including tasks posted while it runs. The host's run loop drains it in
// production; tests drain it by hand.
// Example: queue.asyncAfter(600, [weak] { if (auto self = weak.lock()) self->reload(); });
// Threading: posting and the queries may happen on any thread. Draining is serial: a second
// thread calling runUntilIdle() while another drains waits for it. Tasks run without the queue's
// lock held, so a task may post, drain recursively, or destroy objects that post.
// A queue confined to one thread (confineToCurrentThread(); a simulation that drains its
// background work by hand runs everything on one thread) takes no lock at all.
// Storage: tasks keep their captures inline when small (MainQueueTask) in slots reused from one
// task to the next; the FIFO of ready tasks is a ring and the timers a binary heap, so that a
// queue in steady state posts and runs without allocating.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "QVRAdKit/Platform/Clock.h"
#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/MainQueueTask.h"
#include "QVRAdKit/Platform/ThreadConfinement.h"

namespace QVRAdKit::Platform {

class MainQueue {
 public:
  using Task = MainQueueTask;

  explicit MainQueue(std::shared_ptr<const Clock> clock);
  // Destroys the tasks that never ran (discardPending()).
  ~MainQueue();
  MainQueue(const MainQueue&) = delete;
  MainQueue& operator=(const MainQueue&) = delete;

  // Due now. Tasks posted with async() run in posting order, even if the clock is set backwards.
  void async(Task task);
  // Due at clock.now() + delay. A delay that is not finite (NaN, or infinite either way) names no
  // time at which the task could come due: the task is refused, destroyed without running, and the
  // refusal is written to stderr and counted (refusedCount()). Running it at once instead would
  // turn a computation gone wrong into an action taken too early.
  void asyncAfter(TimeInterval delay, Task task);
  // Due at the given clock time; a time already past is due now. A non-finite time is refused as
  // in asyncAfter().
  void asyncAt(Date due, Task task);

  // Runs every task that is due (due <= clock.now()), including the ones posted while running,
  // and returns how many ran.
  size_t runUntilIdle();

  // True on the thread draining the queue right now. While nobody drains, true on the thread that
  // drained it last (the constructing thread before the first drain), so that code called straight
  // from a test body or the host's loop counts as on the main queue; other threads, and any thread
  // while it runs a background executor's task, answer false.
  // Meant for debug-only "on the main queue" checks.
  [[nodiscard]] bool isCurrent() const;
  // True while some thread is inside runUntilIdle().
  [[nodiscard]] bool isDraining() const { return drainingThread_.load() != std::thread::id(); }
  // Whether any thread has ever called runUntilIdle().
  [[nodiscard]] bool hasBeenDrained() const { return drained_.load(std::memory_order_relaxed); }
  // True the first time it is asked while nobody has ever drained the queue and a task has waited
  // longer than age; false ever after. A host that never drains its main queue is told once, and a
  // host that drains late (an app back from the background) never.
  [[nodiscard]] bool takeNeverDrainedNotice(TimeInterval age) const;

  // The earliest due date among pending tasks (an async() task counts as due at its posting time,
  // never later than now); none when nothing is pending.
  [[nodiscard]] std::optional<Date> nextDueDate() const;

  // Blocks until a task is due now or the deadline passes; answers whether one is due. Posting
  // wakes it, so tests wait here for work handed over from other threads instead of sleeping.
  bool waitForReadyTask(std::chrono::steady_clock::time_point deadline);

  [[nodiscard]] size_t pendingCount() const;
  // How many tasks were refused for a non-finite due time.
  [[nodiscard]] size_t refusedCount() const { return refused_.load(); }

  // Destroys every pending task without running it, outside the lock (a task's captures may post
  // while being destroyed; what they post is discarded too).
  void discardPending();
  [[nodiscard]] const Clock& clock() const { return *clock_; }

  // Promises that from now on only the calling thread posts to, drains, queries or destroys this
  // queue, so that it no longer takes its locks. Call it before any other thread may see the
  // queue. A call from another thread afterwards is a programming error that would race: it is
  // written to stderr and aborts instead.
  void confineToCurrentThread();

 private:
  // Where a pending task waits: its order key and the slot of tasks_ that holds it.
  struct Entry {
    Date at;  // async(): the posting time; otherwise the due date
    std::uint64_t sequence;
    std::uint32_t slot;
    [[nodiscard]] bool before(const Entry& other) const {
      return at < other.at || (at == other.at && sequence < other.sequence);
    }
  };
  // The heap's order: the earliest entry on top.
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const { return b.before(a); }
  };
  // The queue's lock, or none on a confined queue (on its one thread, or aborting on another).
  class Guard {
   public:
    explicit Guard(const MainQueue& queue);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    std::mutex* mutex_ = nullptr;
  };

  // By reference down to the slot: each move of a task is a call through its operations.
  void post(std::optional<Date> due, Task&& task);
  // Inlined into their one or two callers, which run once per task or per drain.
  [[gnu::always_inline]] bool hasReadyLocked(Date now) const;
  [[gnu::always_inline]] bool popReadyLocked(Date now, Task& task);
  [[gnu::always_inline]] std::uint32_t storeLocked(Task&& task);
  [[gnu::always_inline]] void takeLocked(std::uint32_t slot, Task& task);
  [[gnu::always_inline]] void pushImmediateLocked(Entry entry);
  // Full (or never used): makes room in the ring of ready tasks.
  void growImmediateLocked();
  // The name a breach of confinement is reported under.
  static constexpr const char* kOwner = "MainQueue";

  std::shared_ptr<const Clock> clock_;

  mutable std::mutex mutex_;
  std::condition_variable readyChanged_;
  std::vector<Task> tasks_;               // slots; empty ones are listed in freeSlots_
  std::vector<std::uint32_t> freeSlots_;  // reused last in, first out
  // async(): always ready, FIFO. A ring of power-of-two capacity.
  std::vector<Entry> immediate_;
  size_t immediateHead_ = 0;
  size_t immediateCount_ = 0;
  std::vector<Entry> timed_;  // asyncAfter()/asyncAt(): a heap by Later, ready once due
  std::uint64_t nextSequence_ = 0;
  ThreadConfinement confinement_;

  std::recursive_mutex drainMutex_;  // one draining thread at a time; a task may drain again
  std::atomic<std::thread::id> drainingThread_{};
  std::atomic<std::thread::id> ownerThread_;
  std::atomic<size_t> refused_{0};
  std::atomic<bool> drained_{false};
  mutable std::atomic<bool> neverDrainedNoticed_{false};
};

}  // namespace QVRAdKit::Platform
