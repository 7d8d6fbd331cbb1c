#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Platform/BackgroundExecutor.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/ThreadConfinement.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"

namespace QVRAdKit::Platform {
namespace {

using Strings = std::vector<std::string>;

// Confined to its thread, the executor runs without its lock and must behave the same. It is idle
// only with nothing queued and nothing running: a running task, even the last one, keeps it busy.
TEST(BackgroundExecutorDrainedByHandTest, RunsNothingUntilDrainedThenEverythingInPostingOrderHere) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    BackgroundExecutor executor(BackgroundExecutor::kDrainedByHand);
    if (confined) executor.confineToCurrentThread();
    EXPECT_EQ(executor.threadCount(), 0u);
    EXPECT_TRUE(executor.isIdle());
    Strings ran;
    std::vector<std::thread::id> threads;
    std::vector<bool> markedAsTask;
    std::vector<bool> idleWhileRunning;
    auto task = [&](const std::string& name) {
      return [&, name] {
        idleWhileRunning.push_back(executor.isIdle());
        ran.push_back(name);
        threads.push_back(std::this_thread::get_id());
        markedAsTask.push_back(BackgroundExecutor::runningTaskHere());
      };
    };
    executor.async([&, first = task("a")] {
      first();
      executor.async(task("c"));  // posted by a task: runs in the same drain, after b
    });
    executor.async(task("b"));
    EXPECT_TRUE(ran.empty()) << "no thread of its own: nothing runs before the drain";
    EXPECT_FALSE(executor.isIdle());

    executor.waitUntilIdle();
    EXPECT_EQ(ran, (Strings{"a", "b", "c"}));
    EXPECT_EQ(idleWhileRunning, std::vector<bool>(3, false));
    EXPECT_TRUE(executor.isIdle());
    EXPECT_EQ(threads, std::vector<std::thread::id>(3, std::this_thread::get_id()));
    EXPECT_EQ(markedAsTask, std::vector<bool>(3, true));
    EXPECT_FALSE(BackgroundExecutor::runningTaskHere());
  }
}

// Drained by hand on the thread that also drains the main queue, a background task still does not
// count as on the main queue, so code that takes that shortcut posts instead, and the main-queue
// checks catch main-queue work done from the background.
// Confined, the environment's registry serves the drained task too (same thread, no lock).
TEST(BackgroundExecutorDrainedByHandTest, ABackgroundTaskIsNeverOnTheMainQueue) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    Environment::Options options;
    options.manualClock = std::make_shared<ManualClock>();
    options.backgroundThreadCount = BackgroundExecutor::kDrainedByHand;
    Environment environment(std::move(options));
    if (confined) environment.confineToCurrentThread();
    const Environment::Scope scope(environment, Environment::Scope::Reach::thisThread);
    ASSERT_TRUE(environment.mainQueue().isCurrent());

    bool onMainQueueInTask = true;
    Environment* currentInTask = nullptr;
    std::shared_ptr<std::string> serviceInTask;
    environment.setService(std::make_shared<std::string>("registered"));
    environment.background().async([&] {
      onMainQueueInTask = environment.mainQueue().isCurrent();
      currentInTask = &Environment::current();
      serviceInTask = environment.service<std::string>();
    });
    environment.background().waitUntilIdle();
    EXPECT_FALSE(onMainQueueInTask);
    EXPECT_EQ(currentInTask, &environment);
    ASSERT_NE(serviceInTask, nullptr);
    EXPECT_EQ(*serviceInTask, "registered");
    EXPECT_TRUE(environment.mainQueue().isCurrent()) << "back on the main queue after the drain";
  }
}

TEST(BackgroundExecutorDrainedByHandTest, ATaskDrainingItsOwnExecutorLeavesTheRestToTheOuterDrain) {
  BackgroundExecutor executor(BackgroundExecutor::kDrainedByHand);
  Strings ran;
  executor.async([&] {
    executor.async([&] { ran.emplace_back("posted"); });
    executor.waitUntilIdle();  // would recurse into itself: returns at once
    ran.emplace_back("outer");
  });
  executor.waitUntilIdle();
  EXPECT_EQ(ran, (Strings{"outer", "posted"}));
}

TEST(BackgroundExecutorDrainedByHandTest, DestroyingTheExecutorInATaskEndsTheDrainAndDropsTheRest) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    auto executor = std::make_unique<BackgroundExecutor>(BackgroundExecutor::kDrainedByHand);
    if (confined) executor->confineToCurrentThread();
    bool laterRan = false;
    executor->async([&] { executor.reset(); });
    executor->async([&] { laterRan = true; });
    executor->waitUntilIdle();  // AddressSanitizer reports any touch of the freed executor
    EXPECT_EQ(executor, nullptr);
    EXPECT_FALSE(laterRan);

    BackgroundExecutor stopped(BackgroundExecutor::kDrainedByHand);
    if (confined) stopped.confineToCurrentThread();
    stopped.async([&] { laterRan = true; });
    stopped.shutdown();
    stopped.async([&] { laterRan = true; });
    stopped.waitUntilIdle();
    EXPECT_FALSE(laterRan) << "queued and later tasks are dropped by shutdown";
  }
}

// While a confined environment lives, what its thread builds takes no lock, and its notification
// centre and application do without theirs; they deliver as before. The mark ends with it.
TEST(BackgroundExecutorDrainedByHandTest, ConfiningMarksTheThreadForTheEnvironmentsLifetime) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    {
      Environment::Options options;
      options.backgroundThreadCount = BackgroundExecutor::kDrainedByHand;
      Environment environment(std::move(options));
      if (confined) {
        environment.confineToCurrentThread();
        environment.confineToCurrentThread();  // again: no second mark
      }
      EXPECT_EQ(Rx::ConfinableMutex::isThreadMarked(), confined);
      EXPECT_EQ(Rx::ConfinableMutex("built").isConfined(), confined);

      NotificationCenter& center = environment.notificationCenter();
      Application& application = environment.application();
      Strings calls;
      std::uint64_t once = 0;
      once = center.addObserver(std::string(UIApplicationDidEnterBackgroundNotification),
                                &application, [&](const Notification& n) {
                                  calls.push_back(n.name);
                                  center.removeObserver(once);
                                });
      center.addObserver(std::string(UIApplicationDidBecomeActiveNotification), nullptr,
                         [&](const Notification& n) { calls.push_back(n.name); });
      for (auto state :
           {ApplicationState::background, ApplicationState::active, ApplicationState::background}) {
        application.setApplicationState(state);
      }
      EXPECT_EQ(calls, (Strings{std::string(UIApplicationDidEnterBackgroundNotification),
                                std::string(UIApplicationDidBecomeActiveNotification)}));
      EXPECT_EQ(application.applicationState(), ApplicationState::background);
      EXPECT_EQ(center.observerCount(), 1u);
    }
    EXPECT_FALSE(Rx::ConfinableMutex::isThreadMarked()) << "the mark ends with the environment";
  }
}

// Without its lock, a confined executor or environment shared with another thread would race: any
// use from there, or confining one that has threads of its own, aborts with a clear message.
TEST(BackgroundExecutorDrainedByHandTest, ConfinementBreachesAbort) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  BackgroundExecutor executor(BackgroundExecutor::kDrainedByHand);
  executor.confineToCurrentThread();
  EXPECT_DEATH(std::thread([&executor] { executor.async([] {}); }).join(),
               "BackgroundExecutor confined to one thread was used from another thread");
  EXPECT_DEATH(std::thread([&executor] { executor.waitUntilIdle(); }).join(),
               "BackgroundExecutor confined to one thread was used from another thread");

  Environment::Options options;
  options.backgroundThreadCount = BackgroundExecutor::kDrainedByHand;
  Environment environment(std::move(options));
  environment.confineToCurrentThread();
  environment.setService(std::make_shared<std::string>("registered"));  // a slot to look up
  EXPECT_DEATH(std::thread([&environment] { (void)environment.service<std::string>(); }).join(),
               "Environment confined to one thread was used from another thread");
  EXPECT_DEATH(std::thread([&environment] { environment.mainQueue().async([] {}); }).join(),
               "MainQueue confined to one thread was used from another thread");
#ifndef NDEBUG  // the lock-free centre checks its thread in debug builds only
  EXPECT_DEATH(std::thread([&environment] { environment.notificationCenter().post("N"); }).join(),
               "NotificationCenter confined to one thread was used from another thread");
#endif
  // The thread's mark could not end elsewhere.
  auto confinement = std::make_unique<ThreadConfinement>();
  confinement->confine();
  EXPECT_DEATH(std::thread([&confinement] { confinement.reset(); }).join(),
               "confined to one thread was destroyed on another thread");

  EXPECT_DEATH(BackgroundExecutor(1).confineToCurrentThread(),
               "a BackgroundExecutor with threads cannot be confined");
  EXPECT_DEATH(Environment::makeForTesting()->confineToCurrentThread(),
               "an Environment with background threads cannot be confined");
}

}  // namespace
}  // namespace QVRAdKit::Platform
