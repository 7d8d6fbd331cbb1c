#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/Platform/ManualClock.h"

namespace QVRAdKit::Platform {
namespace {

// Posts timers out of order with ties, ready tasks among them, an empty task, and a capture too
// large to be kept inline; answers what ran, in order, once the clock has passed them all.
std::vector<int> playMixedTasks(MainQueue& queue, ManualClock& clock,
                                const std::shared_ptr<int>& capture) {
  std::vector<int> ran;
  const std::array<double, 8> delays{5, 1, 3, 1, 8, 0, 3, 2};
  for (int i = 0; i < static_cast<int>(delays.size()); ++i) {
    queue.asyncAfter(delays[i], [&ran, i, capture] { ran.push_back(i); });
  }
  queue.async(std::function<void()>());  // empty: ignored
  std::array<char, 200> large{};
  large[0] = 1;
  queue.async([&ran, large, capture] { ran.push_back(100 + large[0]); });
  queue.async([&ran, &queue] { queue.async([&ran] { ran.push_back(102); }); });
  queue.runUntilIdle();
  clock.advance(10);
  queue.runUntilIdle();
  return ran;
}

TEST(MainQueueTest, ConfinedQueueRunsAndReleasesTasksLikeASharedOne) {
  // The timer due at once was posted before the ready tasks: it runs first.
  const std::vector<int> expected{5, 101, 102, 1, 3, 7, 2, 6, 0, 4};
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    auto clock = std::make_shared<ManualClock>();
    MainQueue queue(clock);
    if (confined) queue.confineToCurrentThread();
    auto capture = std::make_shared<int>(0);
    EXPECT_EQ(playMixedTasks(queue, *clock, capture), expected);
    EXPECT_EQ(capture.use_count(), 1) << "every task's captures are destroyed once it ran";

    // Pending tasks, inline or not, are destroyed without running.
    bool ran = false;
    queue.asyncAfter(1, [capture, &ran] { ran = true; });
    queue.async([capture, &ran, large = std::array<char, 200>{}] {
      (void)large;
      ran = true;
    });
    EXPECT_EQ(queue.pendingCount(), 2u);
    queue.discardPending();
    EXPECT_EQ(capture.use_count(), 1);
    EXPECT_EQ(queue.nextDueDate(), std::nullopt);
    EXPECT_FALSE(ran);
  }
}

TEST(MainQueueTest, NestedDrainsOfTwoQueuesEachAnswerCurrentOnlyOnTheDrainingThread) {
  auto clock = std::make_shared<ManualClock>();
  MainQueue outer(clock);
  MainQueue inner(clock);
  // (outer, inner) as seen from inside inner's drain, then back in outer's task after it.
  std::array<std::optional<std::pair<bool, bool>>, 2> seen;
  std::pair<bool, bool> otherThreadSaw{true, true};
  outer.async([&] {
    inner.async([&] {
      seen[0] = {outer.isCurrent(), inner.isCurrent()};
      std::thread([&] { otherThreadSaw = {outer.isCurrent(), inner.isCurrent()}; }).join();
    });
    inner.runUntilIdle();
    seen[1] = {outer.isCurrent(), inner.isCurrent()};
  });
  outer.runUntilIdle();
  EXPECT_EQ(seen[0], std::make_pair(true, true));
  // Inner's drain is over: this thread drained it last and nobody drains it now.
  EXPECT_EQ(seen[1], std::make_pair(true, true));
  EXPECT_EQ(otherThreadSaw, std::make_pair(false, false));
}

TEST(MainQueueTest, ConfinedQueueUsedFromAnotherThreadAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  MainQueue queue(std::make_shared<ManualClock>());
  queue.confineToCurrentThread();
  EXPECT_DEATH(std::thread([&queue] { queue.async([] {}); }).join(), "used from another thread");
}

}  // namespace
}  // namespace QVRAdKit::Platform
