#pragma once
// BackgroundExecutor runs tasks on its own real threads, in posting order when it has one thread.
// The only module work on it is the configuration phase of the ads service's start-up; results
// travel back by posting to the main queue, never by sharing state.
// Shutdown (and so destruction) stops taking tasks, destroys the queued ones without running them,
// waits for the running ones and joins the threads: once it returns, no worker runs on behalf of
// this executor. The one exception is a task that shuts down or destroys its own executor: its
// thread cannot join itself, so it is let go, and it touches only state it shares with the
// executor (kept alive by the thread) until it ends with that task.
// onThreadStart, when given, runs first on each of the executor's threads (the environment uses
// it to make itself current there).
// With kDrainedByHand (no threads) tasks wait in the queue until someone calls waitUntilIdle(),
// which runs them in posting order on the calling thread, like the main queue of a test. A
// simulation that settles both queues at each step of its clock uses it: no thread to start or
// wake, and the order of events no longer depends on how the threads are scheduled.
// While a task runs, on a worker or drained by hand, runningTaskHere() is true on its thread, so
// that the main queue never counts a background task as being on it.
// A drained-by-hand executor confined to one thread (confineToCurrentThread(); a simulation that
// runs everything on one thread) takes no lock at all.
// Threading: async(), waitUntilIdle() and shutdown() from any thread; waitUntilIdle() not from a
// task of the same executor (it would wait for itself; drained by hand, such a call returns at
// once and the outer drain runs what the task posted).

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace QVRAdKit::Platform {

class BackgroundExecutor {
 public:
  using Task = std::function<void()>;

  static constexpr size_t kDrainedByHand = 0;

  explicit BackgroundExecutor(size_t threadCount = 1,
                              const std::function<void()>& onThreadStart = {});
  ~BackgroundExecutor();  // shutdown()
  BackgroundExecutor(const BackgroundExecutor&) = delete;
  BackgroundExecutor& operator=(const BackgroundExecutor&) = delete;

  // Queues the task. After shutdown the task is destroyed without running.
  void async(Task task);

  // Blocks until no task is queued or running (tasks posted by running tasks included). Drained
  // by hand, runs the queued tasks here instead.
  void waitUntilIdle();

  // True when no task is queued or running: a caller that settles both queues learns that the
  // main-queue tasks it just ran posted no background work, without another drain of each.
  [[nodiscard]] bool isIdle() const;

  // Stops accepting tasks, destroys the queued ones that have not started, lets the running ones
  // finish and joins the threads. Idempotent; a second caller waits for the first to finish.
  void shutdown();

  [[nodiscard]] size_t threadCount() const { return threadCount_; }

  // Promises that from now on only the calling thread posts to, drains, shuts down or destroys
  // this executor, so that it no longer takes its lock. Only for kDrainedByHand (an executor with
  // threads shares its queue with them by design) and before any other thread may see the
  // executor. Either breach (a confined call from another thread, or confining an executor that
  // has threads) is written to stderr and aborts, since going on would race.
  void confineToCurrentThread();

  // True on a thread that is running a task of some background executor right now.
  [[nodiscard]] static bool runningTaskHere();

 private:
  struct State;
  static void workerLoop(const std::shared_ptr<State>& state);
  static void drainHere(const std::shared_ptr<State>& state);
  static void runNext(std::unique_lock<std::mutex>& lock, State& state);
  // The state's lock, or on a confined executor an empty one (after checking the thread).
  static std::unique_lock<std::mutex> lockUnlessConfined(State& state);

  const size_t threadCount_;
  std::shared_ptr<State> state_;
};

}  // namespace QVRAdKit::Platform
