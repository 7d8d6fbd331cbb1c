#include "QVRAdKit/Platform/MainQueue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "QVRAdKit/Platform/BackgroundExecutor.h"

namespace QVRAdKit::Platform {

MainQueue::MainQueue(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), ownerThread_(std::this_thread::get_id()) {}

MainQueue::~MainQueue() {
  discardPending();
}

void MainQueue::discardPending() {
  // A dropped task's captures may post again while being destroyed: repeat until nothing is left.
  for (;;) {
    std::deque<Immediate> immediate;
    std::map<TimedKey, Task> timed;
    {
      std::lock_guard lock(mutex_);
      if (immediate_.empty() && timed_.empty()) return;
      immediate.swap(immediate_);
      timed.swap(timed_);
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

void MainQueue::post(std::optional<Date> due, Task task) {
  if (!task) return;
  if (due && !std::isfinite(due->timeIntervalSince1970())) {
    // A NaN would also break the ordering of the timed tasks. `task` is destroyed on return,
    // outside the lock.
    refused_.fetch_add(1);
    std::fputs(
        "QVRAdKit: assertion failure: MainQueue refused a task due at a non-finite time "
        "(asyncAfter with a NaN or infinite delay); it will not run\n",
        stderr);
    return;
  }
  const Date now = due ? Date() : clock_->now();
  {
    std::lock_guard lock(mutex_);
    const std::uint64_t sequence = nextSequence_++;
    if (due) {
      timed_.emplace(TimedKey{*due, sequence}, std::move(task));
    } else {
      immediate_.push_back(Immediate{now, sequence, std::move(task)});
    }
  }
  readyChanged_.notify_all();
}

bool MainQueue::hasReadyLocked(Date now) const {
  return !immediate_.empty() || (!timed_.empty() && timed_.begin()->first.due <= now);
}

bool MainQueue::popReadyLocked(Date now, Task& task) {
  const bool timedReady = !timed_.empty() && timed_.begin()->first.due <= now;
  if (!immediate_.empty()) {
    Immediate& first = immediate_.front();
    if (!timedReady || TimedKey{first.posted, first.sequence} < timed_.begin()->first) {
      task = std::move(first.task);
      immediate_.pop_front();
      return true;
    }
  }
  if (!timedReady) return false;
  auto node = timed_.extract(timed_.begin());
  task = std::move(node.mapped());
  return true;
}

size_t MainQueue::runUntilIdle() {
  std::lock_guard drain(drainMutex_);
  const std::thread::id self = std::this_thread::get_id();
  const std::thread::id previous = drainingThread_.exchange(self);
  ownerThread_.store(self);
  struct RestoreDrainingThread {
    std::atomic<std::thread::id>& slot;
    std::thread::id previous;
    ~RestoreDrainingThread() { slot.store(previous); }
  } restore{drainingThread_, previous};

  size_t ran = 0;
  for (;;) {
    Task task;
    const Date now = clock_->now();
    {
      std::lock_guard lock(mutex_);
      if (!popReadyLocked(now, task)) break;
    }
    task();
    ++ran;
    // The task and its captures are destroyed here, without the lock.
  }
  return ran;
}

bool MainQueue::isCurrent() const {
  // A background task is never on the main queue, even when drained by hand on its thread.
  if (BackgroundExecutor::runningTaskHere()) return false;
  const std::thread::id self = std::this_thread::get_id();
  const std::thread::id draining = drainingThread_.load();
  if (draining != std::thread::id()) return draining == self;
  return ownerThread_.load() == self;
}

std::optional<Date> MainQueue::nextDueDate() const {
  const Date now = clock_->now();
  std::lock_guard lock(mutex_);
  std::optional<Date> next;
  if (!immediate_.empty()) next = std::min(immediate_.front().posted, now);
  if (!timed_.empty()) {
    const Date due = timed_.begin()->first.due;
    if (!next || due < *next) next = due;
  }
  return next;
}

bool MainQueue::waitForReadyTask(std::chrono::steady_clock::time_point deadline) {
  using std::chrono::steady_clock;
  std::unique_lock lock(mutex_);
  for (;;) {
    const Date now = clock_->now();
    if (hasReadyLocked(now)) return true;
    const steady_clock::time_point steadyNow = steady_clock::now();
    if (steadyNow >= deadline) return false;
    steady_clock::time_point wake = deadline;
    if (!timed_.empty()) {
      // A real clock makes the first timer due by itself, without a post to wake us.
      const TimeInterval untilDue = timed_.begin()->first.due.timeIntervalSince(now);
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
  std::lock_guard lock(mutex_);
  return immediate_.size() + timed_.size();
}

}  // namespace QVRAdKit::Platform
