#include "QVRAdKit/Platform/MainQueue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "QVRAdKit/Platform/BackgroundExecutor.h"

namespace QVRAdKit::Platform {

namespace {

// The queue the calling thread drains right now (the innermost, when drains nest); none outside
// a drain. Answers isCurrent() for the common case without reading the thread's id.
thread_local const MainQueue* queueDrainedHere = nullptr;

}  // namespace

MainQueue::Guard::Guard(const MainQueue& queue) {
  if (queue.confinement_.checkHere(kOwner)) return;
  mutex_ = &queue.mutex_;
  mutex_->lock();
}

MainQueue::Guard::~Guard() {
  if (mutex_ != nullptr) mutex_->unlock();
}

MainQueue::MainQueue(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), ownerThread_(std::this_thread::get_id()) {}

MainQueue::~MainQueue() {
  discardPending();
}

void MainQueue::confineToCurrentThread() {
  confinement_.confine();
}

void MainQueue::discardPending() {
  // A dropped task's captures may post again while being destroyed: repeat until nothing is left.
  for (;;) {
    std::vector<Task> tasks;
    {
      Guard guard(*this);
      if (immediateCount_ == 0 && timed_.empty()) return;
      tasks.swap(tasks_);
      freeSlots_.clear();
      immediateHead_ = 0;
      immediateCount_ = 0;
      timed_.clear();
    }
  }
}

void MainQueue::async(Task task) {
  post(std::nullopt, std::move(task));
}

void MainQueue::asyncAfter(TimeInterval delay, Task task) {
  post(clock_->now().addingTimeInterval(delay), std::move(task));
}

void MainQueue::asyncAt(Date due, Task task) {
  post(due, std::move(task));
}

void MainQueue::post(std::optional<Date> due, Task&& task) {
  if (!task) return;
  if (due && !std::isfinite(due->timeIntervalSince1970())) {
    // A NaN would also break the ordering of the timed tasks. `task` is destroyed with the public
    // call's argument, outside the lock.
    refused_.fetch_add(1);
    std::fputs(
        "QVRAdKit: assertion failure: MainQueue refused a task due at a non-finite time "
        "(asyncAfter with a NaN or infinite delay); it will not run\n",
        stderr);
    return;
  }
  const Date now = due ? Date() : clock_->now();
  {
    Guard guard(*this);
    const Entry entry{due ? *due : now, nextSequence_++, storeLocked(std::move(task))};
    if (due) {
      timed_.push_back(entry);
      std::push_heap(timed_.begin(), timed_.end(), Later{});
    } else {
      pushImmediateLocked(entry);
    }
  }
  // Nobody else can wait on a confined queue: its one thread is busy posting.
  if (!confinement_.isConfined()) readyChanged_.notify_all();
}

inline std::uint32_t MainQueue::storeLocked(Task&& task) {
  if (!freeSlots_.empty()) {
    const std::uint32_t slot = freeSlots_.back();
    freeSlots_.pop_back();
    tasks_[slot] = std::move(task);
    return slot;
  }
  tasks_.push_back(std::move(task));
  return static_cast<std::uint32_t>(tasks_.size() - 1);
}

inline void MainQueue::takeLocked(std::uint32_t slot, Task& task) {
  task = std::move(tasks_[slot]);
  freeSlots_.push_back(slot);
}

void MainQueue::growImmediateLocked() {
  // Twice the room (16 at first), the waiting entries first in order.
  std::vector<Entry> grown;
  grown.reserve(std::max<size_t>(16, immediate_.size() * 2));
  for (size_t i = 0; i < immediateCount_; ++i) {
    grown.push_back(immediate_[(immediateHead_ + i) & (immediate_.size() - 1)]);
  }
  grown.resize(grown.capacity());
  immediate_.swap(grown);
  immediateHead_ = 0;
}

inline void MainQueue::pushImmediateLocked(Entry entry) {
  if (immediateCount_ == immediate_.size()) growImmediateLocked();
  immediate_[(immediateHead_ + immediateCount_) & (immediate_.size() - 1)] = entry;
  ++immediateCount_;
}

inline bool MainQueue::hasReadyLocked(Date now) const {
  return immediateCount_ != 0 || (!timed_.empty() && timed_.front().at <= now);
}

inline bool MainQueue::popReadyLocked(Date now, Task& task) {
  const bool timedReady = !timed_.empty() && timed_.front().at <= now;
  if (immediateCount_ != 0) {
    const Entry& first = immediate_[immediateHead_];
    if (!timedReady || first.before(timed_.front())) {
      takeLocked(first.slot, task);
      immediateHead_ = (immediateHead_ + 1) & (immediate_.size() - 1);
      --immediateCount_;
      return true;
    }
  }
  if (!timedReady) return false;
  takeLocked(timed_.front().slot, task);
  std::pop_heap(timed_.begin(), timed_.end(), Later{});
  timed_.pop_back();
  return true;
}

size_t MainQueue::runUntilIdle() {
  drained_.store(true, std::memory_order_relaxed);
  // Confined, already owned by this thread and with nothing ready (as at the end of every step of
  // a host driving the clock): nothing to run and nothing to note.
  const bool confined = confinement_.checkHere(kOwner);
  if (confined && ownerThread_.load(std::memory_order_relaxed) == std::this_thread::get_id() &&
      !hasReadyLocked(clock_->now())) {
    return 0;
  }
  // A confined queue has only its own thread to keep out: no drain lock.
  std::unique_lock drain(drainMutex_, std::defer_lock);
  if (!confined) drain.lock();
  const std::thread::id self = std::this_thread::get_id();
  const std::thread::id previous = drainingThread_.exchange(self);
  ownerThread_.store(self);
  struct RestoreDrainingThread {
    std::atomic<std::thread::id>& slot;
    std::thread::id previous;
    const MainQueue* previousHere;
    ~RestoreDrainingThread() {
      slot.store(previous);
      queueDrainedHere = previousHere;
    }
  } restore{drainingThread_, previous, std::exchange(queueDrainedHere, this)};

  size_t ran = 0;
  Task task;
  for (;;) {
    const Date now = clock_->now();
    if (confined) {
      // Checked on entry: this is the queue's one thread, so there is no lock to take.
      if (!popReadyLocked(now, task)) break;
    } else {
      Guard guard(*this);
      if (!popReadyLocked(now, task)) break;
    }
    task();
    ++ran;
    // The task and its captures are destroyed here, without the lock.
    task.reset();
  }
  return ran;
}

bool MainQueue::isCurrent() const {
  // A background task is never on the main queue, even when drained by hand on its thread.
  if (BackgroundExecutor::runningTaskHere()) return false;
  // Draining it here: this thread is the draining one.
  if (queueDrainedHere == this) return true;
  const std::thread::id self = std::this_thread::get_id();
  const std::thread::id draining = drainingThread_.load();
  if (draining != std::thread::id()) return draining == self;
  return ownerThread_.load() == self;
}

std::optional<Date> MainQueue::nextDueDate() const {
  const Date now = clock_->now();
  Guard guard(*this);
  std::optional<Date> next;
  if (immediateCount_ != 0) next = std::min(immediate_[immediateHead_].at, now);
  if (!timed_.empty()) {
    const Date due = timed_.front().at;
    if (!next || due < *next) next = due;
  }
  return next;
}

bool MainQueue::takeNeverDrainedNotice(TimeInterval age) const {
  if (hasBeenDrained() || neverDrainedNoticed_.load(std::memory_order_relaxed)) return false;
  const std::optional<Date> due = nextDueDate();
  if (!due || !(clock_->now().timeIntervalSince(*due) > age)) return false;
  return !neverDrainedNoticed_.exchange(true);
}

bool MainQueue::waitForReadyTask(std::chrono::steady_clock::time_point deadline) {
  using std::chrono::steady_clock;
  // The wait takes the lock even on a confined queue: uncontended there, and off the hot path.
  (void)confinement_.checkHere(kOwner);
  std::unique_lock lock(mutex_);
  for (;;) {
    const Date now = clock_->now();
    if (hasReadyLocked(now)) return true;
    const steady_clock::time_point steadyNow = steady_clock::now();
    if (steadyNow >= deadline) return false;
    steady_clock::time_point wake = deadline;
    if (!timed_.empty()) {
      // A real clock makes the first timer due by itself, without a post to wake us.
      const TimeInterval untilDue = timed_.front().at.timeIntervalSince(now);
      const TimeInterval untilDeadline =
          std::chrono::duration<TimeInterval>(deadline - steadyNow).count();
      if (untilDue < untilDeadline) {
        wake = steadyNow + std::chrono::duration_cast<steady_clock::duration>(
                               std::chrono::duration<TimeInterval>(untilDue));
      }
    }
    readyChanged_.wait_until(lock, wake);
  }
}

size_t MainQueue::pendingCount() const {
  Guard guard(*this);
  return immediateCount_ + timed_.size();
}

}  // namespace QVRAdKit::Platform
