#include "QVRAdKit/Platform/BackgroundExecutor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "QVRAdKit/Platform/ThreadConfinement.h"

namespace QVRAdKit::Platform {
namespace {

// How many background tasks this thread is inside (more than one only if a task drains another
// executor by hand).
thread_local int tasksRunningHere = 0;

}  // namespace

// What the workers share with the executor. Each worker holds it, so that a worker let go by a
// task that destroyed its own executor never reaches into freed memory.
struct BackgroundExecutor::State {
  std::mutex mutex;
  std::condition_variable workAvailable;
  std::condition_variable becameIdle;
  std::condition_variable joined;
  std::deque<Task> queue;
  size_t running = 0;
  bool stopping = false;
  bool joinedAll = false;
  std::vector<std::thread> threads;
  std::vector<std::thread::id> workerIds;  // kept after the threads are joined or let go
  std::thread::id drainer;                 // drained by hand: the thread draining it now
  // Confined: every entry point runs on the one thread allowed, so the fields above need no lock.
  ThreadConfinement confinement;
};

BackgroundExecutor::BackgroundExecutor(size_t threadCount,
                                       const std::function<void()>& onThreadStart)
    : threadCount_(threadCount), state_(std::make_shared<State>()) {
  const std::lock_guard lock(state_->mutex);
  state_->threads.reserve(threadCount_);
  for (size_t i = 0; i < threadCount_; ++i) {
    state_->threads.emplace_back([state = state_, onThreadStart] {
      if (onThreadStart) onThreadStart();
      workerLoop(state);
    });
    state_->workerIds.push_back(state_->threads.back().get_id());
  }
}

BackgroundExecutor::~BackgroundExecutor() {
  shutdown();
}

void BackgroundExecutor::confineToCurrentThread() {
  if (threadCount_ != kDrainedByHand) {
    ThreadConfinement::abortWith(
        "QVRAdKit: a BackgroundExecutor with threads cannot be confined to one thread\n");
  }
  state_->confinement.confine();
}

std::unique_lock<std::mutex> BackgroundExecutor::lockUnlessConfined(State& state) {
  // Race-free without the lock: a confined executor has no threads of its own, and every entry
  // point checks that it runs on the one thread allowed, so its state is touched by that thread
  // only.
  if (state.confinement.checkHere("BackgroundExecutor")) {
    return std::unique_lock<std::mutex>(state.mutex, std::defer_lock);
  }
  return std::unique_lock<std::mutex>(state.mutex);
}

void BackgroundExecutor::async(Task task) {
  if (!task) return;
  {
    const std::unique_lock lock = lockUnlessConfined(*state_);
    if (!state_->stopping) {
      state_->queue.push_back(std::move(task));
      if (threadCount_ != kDrainedByHand) state_->workAvailable.notify_one();
      return;
    }
  }
  // Rejected: `task` is destroyed here, without the lock, since its captures may post again.
}

void BackgroundExecutor::waitUntilIdle() {
  if (threadCount_ == kDrainedByHand) {
    // Confined, its queue is this thread's to read: with nothing queued there is nothing to drain.
    if (state_->confinement.checkHere("BackgroundExecutor") && state_->queue.empty()) return;
    const std::shared_ptr<State> state = state_;  // a task may destroy this executor
    drainHere(state);
    return;
  }
  std::unique_lock lock(state_->mutex);
  state_->becameIdle.wait(lock, [this] { return state_->queue.empty() && state_->running == 0; });
}

bool BackgroundExecutor::isIdle() const {
  const std::unique_lock lock = lockUnlessConfined(*state_);
  return state_->queue.empty() && state_->running == 0;
}

void BackgroundExecutor::shutdown() {
  State& state = *state_;
  std::deque<Task> dropped;
  std::vector<std::thread> threads;
  {
    std::unique_lock lock = lockUnlessConfined(state);
    if (state.stopping) {
      // Confined: no thread to join, and no other caller.
      if (!lock.owns_lock()) return;
      // Another caller is shutting down: wait until it has joined, unless that would be waiting
      // for ourselves (a task of this executor).
      const bool onWorker = std::find(state.workerIds.begin(), state.workerIds.end(),
                                      std::this_thread::get_id()) != state.workerIds.end();
      if (!onWorker) state.joined.wait(lock, [&] { return state.joinedAll; });
      return;
    }
    state.stopping = true;
    dropped.swap(state.queue);
    threads = std::move(state.threads);
    state.threads.clear();
  }
  state.workAvailable.notify_all();
  state.becameIdle.notify_all();
  dropped.clear();  // captures destroyed without the lock; posts they make are rejected
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id()) {
      // A task shutting its own executor down: its thread holds the shared state and leaves once
      // the task returns.
      thread.detach();
    } else {
      thread.join();
    }
  }
  {
    const std::unique_lock lock = lockUnlessConfined(state);
    state.joinedAll = true;
  }
  state.joined.notify_all();
}

void BackgroundExecutor::workerLoop(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->workAvailable.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
    if (state->stopping) return;
    runNext(lock, *state);
    if (state->running == 0 && state->queue.empty()) state->becameIdle.notify_all();
  }
}

// The caller holds `state`: a task may destroy the executor, which ends the drain once it returns.
void BackgroundExecutor::drainHere(const std::shared_ptr<State>& state) {
  std::unique_lock lock = lockUnlessConfined(*state);
  // A task draining its own executor returns at once: the outer drain runs what it posted.
  if (state->drainer == std::this_thread::get_id()) return;
  state->drainer = std::this_thread::get_id();
  while (!state->stopping && !state->queue.empty()) {
    runNext(lock, *state);
  }
  state->drainer = {};
}

// Takes the first queued task and runs it with the lock released; the lock is held again after.
// On a confined executor the lock is never held.
void BackgroundExecutor::runNext(std::unique_lock<std::mutex>& lock, State& state) {
  Task task = std::move(state.queue.front());
  state.queue.pop_front();
  ++state.running;
  const bool locked = lock.owns_lock();
  if (locked) lock.unlock();
  struct Marker {
    Marker() { ++tasksRunningHere; }
    ~Marker() { --tasksRunningHere; }
    Marker(const Marker&) = delete;
    Marker& operator=(const Marker&) = delete;
  } const marker;
  task();
  task = nullptr;  // captures destroyed before the task counts as finished
  if (locked) lock.lock();
  --state.running;
}

bool BackgroundExecutor::runningTaskHere() {
  return tasksRunningHere > 0;
}

}  // namespace QVRAdKit::Platform
