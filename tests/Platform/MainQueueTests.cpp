#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/Platform/ManualClock.h"

namespace QVRAdKit::Platform {
namespace {

class MainQueueTest : public ::testing::Test {
 protected:
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  MainQueue queue{clock};
  std::vector<std::string> ran;

  MainQueue::Task record(std::string name) {
    return [this, name = std::move(name)] { ran.push_back(name); };
  }
};

TEST_F(MainQueueTest, RunsInPostingOrderIncludingTasksPostedWhileRunning) {
  queue.async(record("a"));
  queue.async([this] {
    ran.push_back("b");
    queue.async(record("d"));  // posted after c: runs after c, in the same drain
  });
  queue.async(record("c"));

  EXPECT_EQ(queue.runUntilIdle(), 4u);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(queue.pendingCount(), 0u);
  EXPECT_EQ(queue.runUntilIdle(), 0u);
}

TEST_F(MainQueueTest, TimedTasksRunByDueDateThenPostingOrderAndNotBeforeDue) {
  const Date start = clock->now();
  queue.asyncAfter(10, record("at10"));
  queue.asyncAfter(5, record("at5-first"));
  queue.asyncAt(start.addingTimeInterval(5), record("at5-second"));
  queue.asyncAfter(-1, record("past"));  // already due
  queue.async(record("now"));

  EXPECT_EQ(queue.runUntilIdle(), 2u);
  EXPECT_EQ(ran, (std::vector<std::string>{"past", "now"}));
  EXPECT_EQ(queue.nextDueDate(), start.addingTimeInterval(5));

  clock->advance(4.999);
  EXPECT_EQ(queue.runUntilIdle(), 0u);

  // Jumping past both dates still runs them in due order.
  clock->set(start.addingTimeInterval(20));
  queue.async(record("posted-at-20"));
  EXPECT_EQ(queue.runUntilIdle(), 4u);
  EXPECT_EQ(ran, (std::vector<std::string>{"past", "now", "at5-first", "at5-second", "at10",
                                           "posted-at-20"}));
  EXPECT_EQ(queue.nextDueDate(), std::nullopt);
}

TEST_F(MainQueueTest, AsyncTasksStayReadyWhenTheClockIsSetBackwards) {
  queue.async(record("a"));
  queue.asyncAfter(1, record("timer"));
  clock->advance(-3600);
  queue.async(record("b"));
  EXPECT_EQ(queue.runUntilIdle(), 2u);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(queue.pendingCount(), 1u);
}

TEST_F(MainQueueTest, TaskMayDestroyObjectWhoseDestructorPosts) {
  struct PostsOnDestruction {
    MainQueue* queue;
    std::vector<std::string>* ran;
    ~PostsOnDestruction() {
      queue->async([ran = ran] { ran->push_back("from-destructor"); });
    }
  };
  auto object = std::make_shared<PostsOnDestruction>(&queue, &ran);
  queue.async([object]() mutable { object.reset(); });
  object.reset();
  EXPECT_EQ(queue.runUntilIdle(), 2u);  // would deadlock if tasks ran under the queue's lock
  EXPECT_EQ(ran, (std::vector<std::string>{"from-destructor"}));
}

TEST_F(MainQueueTest, WaitForReadyTaskWakesOnPostFromAnotherThread) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::thread poster([this] { queue.async(record("from-thread")); });
  EXPECT_TRUE(queue.waitForReadyTask(deadline));
  poster.join();
  EXPECT_EQ(queue.runUntilIdle(), 1u);
  EXPECT_EQ(ran, (std::vector<std::string>{"from-thread"}));

  // A timer that is not due does not count as ready.
  queue.asyncAfter(60, record("later"));
  EXPECT_FALSE(queue.waitForReadyTask(std::chrono::steady_clock::now()));
}

TEST_F(MainQueueTest, IsCurrentOnlyOnTheDrainingThread) {
  EXPECT_TRUE(queue.isCurrent());  // the constructing thread, while nobody drains
  bool insideTask = false;
  bool otherThreadDuringDrain = true;
  queue.async([&] {
    insideTask = queue.isCurrent();
    std::thread other([&] { otherThreadDuringDrain = queue.isCurrent(); });
    other.join();
  });
  queue.runUntilIdle();
  EXPECT_TRUE(insideTask);
  EXPECT_FALSE(otherThreadDuringDrain);

  bool otherThreadIdle = true;
  std::thread other([&] { otherThreadIdle = queue.isCurrent(); });
  other.join();
  EXPECT_FALSE(otherThreadIdle);
}

TEST(MainQueueDestructionTest, DestroysPendingTasksWithoutRunningThem) {
  auto clock = std::make_shared<ManualClock>();
  auto payload = std::make_shared<int>(0);
  std::weak_ptr<int> watched = payload;
  bool ran = false;
  {
    MainQueue queue(clock);
    queue.async([payload, &ran] { ran = true; });
    queue.asyncAfter(5, [payload, &ran] { ran = true; });
    payload.reset();
    EXPECT_FALSE(watched.expired());
  }
  EXPECT_TRUE(watched.expired());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace QVRAdKit::Platform
