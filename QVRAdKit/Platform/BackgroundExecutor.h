#pragma once
// BackgroundExecutor runs tasks on its own real threads, in posting order when it has one thread.
// The only module work on it is the configuration phase of the ads service's start-up; results
// travel back by posting to the main queue, never by sharing state.
// Threading: async() and waitUntilIdle() from any thread; shutdown() and the destructor from any
// thread but the executor's own (a task must not shut its executor down). onThreadStart, when
// given, runs first on each of the executor's threads (the environment uses it to make itself
// current there).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace QVRAdKit::Platform {

class BackgroundExecutor {
 public:
  using Task = std::function<void()>;

  explicit BackgroundExecutor(size_t threadCount = 1, std::function<void()> onThreadStart = {});
  ~BackgroundExecutor();  // shutdown()
  BackgroundExecutor(const BackgroundExecutor&) = delete;
  BackgroundExecutor& operator=(const BackgroundExecutor&) = delete;

  // Queues the task. After shutdown the task is destroyed without running.
  void async(Task task);

  // Blocks until no task is queued or running (tasks posted by running tasks included).
  void waitUntilIdle();

  // Stops accepting tasks, destroys the queued ones that have not started, lets the running ones
  // finish and joins the threads. Idempotent.
  void shutdown();

  [[nodiscard]] size_t threadCount() const { return threadCount_; }

 private:
  void workerLoop();

  const size_t threadCount_;
  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable becameIdle_;
  std::deque<Task> queue_;
  size_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace QVRAdKit::Platform
