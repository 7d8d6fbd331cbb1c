#include "QVRAdKit/Platform/BackgroundExecutor.h"

#include <algorithm>
#include <utility>

namespace QVRAdKit::Platform {

BackgroundExecutor::BackgroundExecutor(size_t threadCount, std::function<void()> onThreadStart)
    : threadCount_(std::max<size_t>(threadCount, 1)) {
  threads_.reserve(threadCount_);
  for (size_t i = 0; i < threadCount_; ++i) {
    threads_.emplace_back([this, onThreadStart] {
      if (onThreadStart) onThreadStart();
      workerLoop();
    });
  }
}

BackgroundExecutor::~BackgroundExecutor() {
  shutdown();
}

void BackgroundExecutor::async(Task task) {
  if (!task) return;
  {
    std::lock_guard lock(mutex_);
    if (!stopping_) {
      queue_.push_back(std::move(task));
      workAvailable_.notify_one();
      return;
    }
  }
  // Rejected: `task` is destroyed here, without the lock, since its captures may post again.
}

void BackgroundExecutor::waitUntilIdle() {
  std::unique_lock lock(mutex_);
  becameIdle_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void BackgroundExecutor::shutdown() {
  std::deque<Task> dropped;
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
    threads.swap(threads_);
  }
  workAvailable_.notify_all();
  becameIdle_.notify_all();
  dropped.clear();  // captures destroyed without the lock; posts they make are rejected
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();  // misuse (a task shutting its own executor down): do not deadlock
    } else {
      thread.join();
    }
  }
}

void BackgroundExecutor::workerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    workAvailable_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    task();
    task = nullptr;  // captures destroyed before the task counts as finished
    lock.lock();
    --running_;
    if (running_ == 0 && queue_.empty()) becameIdle_.notify_all();
  }
}

}  // namespace QVRAdKit::Platform
