#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "QVRAdKit/Platform/BackgroundExecutor.h"

namespace QVRAdKit::Platform {
namespace {

TEST(BackgroundExecutorTest, WaitUntilIdleIncludesTasksPostedByTasks) {
  BackgroundExecutor executor(2);
  std::atomic<int> count{0};
  for (int i = 0; i < 50; ++i) {
    executor.async([&] {
      ++count;
      executor.async([&] { ++count; });
    });
  }
  executor.waitUntilIdle();
  EXPECT_EQ(count.load(), 100);
}

// Calls a function when the last copy of the task holding it is destroyed.
struct OnDestroy {
  std::function<void()> action;
  ~OnDestroy() { action(); }
};

TEST(BackgroundExecutorTest, ShutdownDropsQueuedTasksAndRejectsNewOnes) {
  BackgroundExecutor executor(1);
  std::promise<void> started;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  bool blockerFinished = false;
  executor.async([&, released] {
    started.set_value();
    // Bounded so that a broken shutdown fails the test instead of hanging it.
    EXPECT_EQ(released.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    blockerFinished = true;
  });
  started.get_future().wait();

  // The queued task is never run: dropping it (outside the executor's lock, so its captures may
  // post) releases the blocker. Its attempt to post again is rejected.
  std::atomic<bool> queuedRan{false};
  std::atomic<bool> repostRan{false};
  auto guard = std::make_shared<OnDestroy>([&] {
    executor.async([&] { repostRan = true; });
    release.set_value();
  });
  executor.async([guard, &queuedRan] { queuedRan = true; });
  guard.reset();

  executor.shutdown();  // joins: the running task finished
  EXPECT_TRUE(blockerFinished);
  EXPECT_FALSE(queuedRan.load());
  EXPECT_FALSE(repostRan.load());

  bool destroyed = false;
  auto late = std::make_shared<OnDestroy>([&] { destroyed = true; });
  executor.async([late] {});
  late.reset();
  EXPECT_TRUE(destroyed);
  executor.waitUntilIdle();  // returns at once after shutdown
  executor.shutdown();       // idempotent
}

}  // namespace
}  // namespace QVRAdKit::Platform
