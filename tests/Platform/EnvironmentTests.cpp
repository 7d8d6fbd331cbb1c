#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <latch>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/BackgroundExecutor.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::Platform {
namespace {

using Strings = std::vector<std::string>;

struct Counter {};

// A task capture whose deleter calls action when the last copy of the task holding it is destroyed.
std::shared_ptr<void> onRelease(std::function<void()> action) {
  return {nullptr, [action = std::move(action)](void*) { action(); }};
}

TEST(MainQueueTest, RunsReadyTasksInPostingOrderAndTimersAtTheirDueTimes) {
  auto environment = Environment::makeForTesting();
  ManualClock& clock = *environment->manualClock();
  MainQueue& queue = environment->mainQueue();
  Strings ran;
  auto record = [&](std::string name) { return [&ran, name] { ran.push_back(name); }; };
  queue.asyncAfter(10, record("at10"));
  queue.asyncAfter(2, [&] {
    ran.push_back("at2");
    queue.asyncAfter(0.5, record("at2.5"));  // before at3, though posted after it
    queue.async(record("at2-async"));
  });
  queue.asyncAfter(3, record("at3-first"));
  queue.asyncAt(clock.now().addingTimeInterval(3), record("at3-second"));
  queue.asyncAfter(-1, record("past"));  // already due
  queue.async(record("a"));
  queue.async([&] {
    ran.push_back("b");
    queue.async(record("d"));  // posted after c: runs after c, in the same drain
  });
  bool otherThreadIsCurrent = true;
  std::thread([&] {
    otherThreadIsCurrent = queue.isCurrent();
    queue.async(record("c"));
  }).join();
  EXPECT_FALSE(otherThreadIsCurrent);
  // Posts from the destructor of a task that has run: tasks are destroyed outside the lock.
  queue.async([posts = onRelease([&] { queue.async(record("e")); })] {});

  EXPECT_EQ(queue.runUntilIdle(), 7u);
  EXPECT_EQ(ran, (Strings{"past", "a", "b", "c", "d", "e"}));
  ran.clear();
  environment->advance(1);
  EXPECT_TRUE(ran.empty());
  environment->advance(5);
  EXPECT_EQ(ran, (Strings{"at2", "at2-async", "at2.5", "at3-first", "at3-second"}));
  EXPECT_EQ(queue.pendingCount(), 1u);
  environment->advance(4);
  EXPECT_EQ(ran.back(), "at10");

  // A clock set backwards delays timers but not async tasks.
  clock.advance(-3600);
  queue.asyncAfter(1, record("timer"));
  queue.async(record("after-backwards"));
  EXPECT_EQ(queue.runUntilIdle(), 1u);
  EXPECT_EQ(queue.pendingCount(), 1u);
}

TEST(MainQueueTest, DestructionDestroysPendingTasksWithoutRunningThem) {
  auto payload = std::make_shared<int>(0);
  std::weak_ptr<int> watched = payload;
  bool ran = false;
  {
    MainQueue queue(std::make_shared<ManualClock>());
    queue.async([payload, &ran] { ran = true; });
    queue.asyncAfter(5, [payload, &ran] { ran = true; });
    payload.reset();
    EXPECT_FALSE(watched.expired());
  }
  EXPECT_TRUE(watched.expired());
  EXPECT_FALSE(ran);
}

TEST(EnvironmentTest, ScopesNestAndRestore) {
  auto outer = Environment::makeForTesting();
  auto inner = Environment::makeForTesting();
  Environment* before = Environment::installed();
  {
    Environment::Scope outerScope(*outer);
    {
      Environment::Scope innerScope(*inner);
      EXPECT_EQ(&Environment::current(), inner.get());
      Environment* seenFromThread = nullptr;
      std::thread([&] { seenFromThread = &Environment::current(); }).join();
      EXPECT_EQ(seenFromThread, inner.get());
    }
    EXPECT_EQ(&Environment::current(), outer.get());
  }
  EXPECT_EQ(Environment::installed(), before);
}

TEST(EnvironmentTest, UsingTheModuleWithoutAnInstalledEnvironmentIsAClearError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_EQ(Environment::installed(), nullptr);
  EXPECT_DEATH((void)Environment::current(), "no Platform::Environment is installed");

  // While an environment is destroyed, what it destroys still finds it, even with no Scope left.
  auto environment = Environment::makeForTesting();
  Environment* seenByDestroyedTask = nullptr;
  environment->mainQueue().async(
      [probe = onRelease([&] { seenByDestroyedTask = Environment::installed(); })] {});
  Environment* const raw = environment.get();
  environment.reset();
  EXPECT_EQ(seenByDestroyedTask, raw);
  EXPECT_EQ(Environment::installed(), nullptr) << "and it is uninstalled afterwards";
}

TEST(EnvironmentTest, DestroyingItFromItsOwnMainQueueTaskStopsWithTheReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto environment = Environment::makeForTesting();
  environment->mainQueue().async([&environment] { environment.reset(); });
  EXPECT_DEATH(environment->mainQueue().runUntilIdle(),
               "Environment was destroyed while its main queue was running a task");
}

TEST(MainQueueTest, NonFiniteDelaysAreRefusedAndLeaveTheTimersInOrder) {
  auto environment = Environment::makeForTesting();
  MainQueue& queue = environment->mainQueue();
  Strings ran;
  auto record = [&](std::string name) { return [&ran, name] { ran.push_back(name); }; };
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  queue.asyncAfter(2, record("at2"));
  queue.asyncAfter(nan, record("nan"));
  queue.asyncAfter(inf, record("inf"));
  queue.asyncAfter(-inf, record("-inf"));
  queue.asyncAt(Date(nan), record("at-nan"));
  queue.asyncAfter(1, record("at1"));
  EXPECT_EQ(queue.refusedCount(), 4U);
  EXPECT_EQ(queue.pendingCount(), 2U) << "refused tasks are not kept";
  EXPECT_EQ(queue.runUntilIdle(), 0U) << "nor run at once";
  environment->advance(1e12);
  EXPECT_EQ(ran, (Strings{"at1", "at2"}));
}
TEST(EnvironmentTest, SharedInstanceIsMadeOncePerEnvironmentEvenWhenThreadsRace) {
  auto environment = Environment::makeForTesting();
  std::atomic<int> makes{0};
  auto make = [&] {
    ++makes;
    return std::make_shared<Counter>();
  };
  std::latch start(2);
  auto race = [&] {
    start.arrive_and_wait();
    return environment->sharedInstance<Counter>(make);
  };
  auto a = std::async(std::launch::async, race);
  auto b = std::async(std::launch::async, race);
  const auto fromA = a.get();
  EXPECT_EQ(b.get(), fromA);
  EXPECT_EQ(makes.load(), 1);
  ASSERT_NE(fromA, nullptr);
  EXPECT_EQ(environment->service<Counter>(), fromA);

  auto other = Environment::makeForTesting();
  EXPECT_NE(other->sharedInstance<Counter>(make), fromA);
  EXPECT_EQ(makes.load(), 2);
}

// A distinct type per index, to fill the registry beyond its lock-free part.
template <int Index>
struct Tagged {
  int value = Index;
};

template <int Index>
void expectOwnObjects(const Environment& first, const Environment& second) {
  const auto mine = first.service<Tagged<Index>>();
  ASSERT_NE(mine, nullptr) << Index;
  EXPECT_EQ(mine->value, Index);
  EXPECT_NE(mine, second.service<Tagged<Index>>()) << Index;
}

template <int Index>
void expectRemovedFromFirstOnly(const Environment& first, const Environment& second) {
  EXPECT_EQ(first.service<Tagged<Index>>(), nullptr) << Index;
  const auto theirs = second.service<Tagged<Index>>();
  ASSERT_NE(theirs, nullptr) << Index;
  EXPECT_EQ(theirs->value, Index);
}

template <int... Index>
void registerAndCheckEach(std::integer_sequence<int, Index...> /*indices*/) {
  auto first = Environment::makeForTesting();
  auto second = Environment::makeForTesting();
  (first->setService(std::make_shared<Tagged<Index>>()), ...);
  (second->sharedInstance<Tagged<Index>>([] { return std::make_shared<Tagged<Index>>(); }), ...);
  (expectOwnObjects<Index>(*first, *second), ...);
  (first->setService(std::shared_ptr<Tagged<Index>>()), ...);
  (expectRemovedFromFirstOnly<Index>(*first, *second), ...);
  // A registered object wins over make.
  auto own = std::make_shared<Tagged<0>>();
  first->setService(own);
  EXPECT_EQ(first->sharedInstance<Tagged<0>>([] { return std::make_shared<Tagged<0>>(); }), own);
}

TEST(EnvironmentTest, EachOfManyTypesKeepsItsOwnObjectPerEnvironment) {
  registerAndCheckEach(std::make_integer_sequence<int, 150>());
}

TEST(EnvironmentTest, RunUntilWaitsForWorkHandedBackFromTheBackground) {
  auto environment = Environment::makeForTesting();
  std::optional<int> result;
  bool onMainQueue = false;
  environment->background().async([&environment, &result, &onMainQueue] {
    const int computed = 6 * 7;  // background work hands its result over, never shares it
    environment->mainQueue().async([&environment, &result, &onMainQueue, computed] {
      onMainQueue = environment->mainQueue().isCurrent();
      result = computed;
    });
  });
  EXPECT_TRUE(environment->runUntil([&] { return result.has_value(); }));
  EXPECT_EQ(result, 42);
  EXPECT_TRUE(onMainQueue);
  EXPECT_FALSE(environment->runUntil([] { return false; }, std::chrono::milliseconds(1)));
}

TEST(EnvironmentTest, DestructionStopsBackgroundWorkBeforeClearingServices) {
  auto environment = Environment::makeForTesting();
  Environment* raw = environment.get();
  environment->setService(std::make_shared<Counter>());
  std::promise<void> shutdownBegan;
  std::shared_future<void> began = shutdownBegan.get_future().share();
  std::latch started(1);
  bool sawService = false;
  environment->background().async([raw, began, &started, &sawService] {
    started.count_down();
    // Resumes once destruction has dropped the queued task below; the services must still be
    // there, since the executor is joined before the registry is cleared.
    if (began.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return;
    sawService = raw->service<Counter>() != nullptr;
  });
  started.wait();
  environment->background().async([signal = onRelease([&] { shutdownBegan.set_value(); })] {});
  environment.reset();
  EXPECT_TRUE(sawService);
}

TEST(BackgroundExecutorTest, ShutdownDropsQueuedTasksAndRejectsNewOnes) {
  BackgroundExecutor executor(1);
  std::atomic<int> count{0};
  for (int i = 0; i < 20; ++i) executor.async([&] { executor.async([&] { ++count; }); });
  executor.waitUntilIdle();  // includes the tasks posted by tasks
  EXPECT_EQ(count.load(), 20);

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
  executor.async([guard = onRelease([&] {
                    executor.async([&] { repostRan = true; });
                    release.set_value();
                  }),
                  &queuedRan] { queuedRan = true; });

  executor.shutdown();  // joins: the running task finished
  EXPECT_TRUE(blockerFinished);
  EXPECT_FALSE(queuedRan.load() || repostRan.load());
  executor.waitUntilIdle();  // returns at once after shutdown
}

TEST(BackgroundExecutorTest, DestructionWaitsForRunningTasksAndDropsQueuedOnes) {
  auto executor = std::make_unique<BackgroundExecutor>(2);
  std::latch bothRunning(2);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> finished{0};
  for (int i = 0; i < 2; ++i) {
    executor->async([&, released] {
      bothRunning.count_down();
      EXPECT_EQ(released.wait_for(std::chrono::seconds(10)), std::future_status::ready);
      ++finished;
    });
  }
  bothRunning.wait();
  std::atomic<bool> queuedRan{false};
  // Dropping the queued task, which destruction does before joining, releases the running ones.
  executor->async(
      [guard = onRelease([&] { release.set_value(); }), &queuedRan] { queuedRan = true; });
  executor.reset();
  EXPECT_EQ(finished.load(), 2) << "no task outlives the executor's destruction";
  EXPECT_FALSE(queuedRan.load());
}

TEST(BackgroundExecutorTest, TaskThatDestroysItsOwnExecutorFinishesOnSharedState) {
  auto executor = std::make_unique<BackgroundExecutor>(2);
  std::promise<void> destroyed;
  executor->async([&] {
    executor.reset();  // joins the other worker; this one cannot join itself and is let go
    destroyed.set_value();
  });
  ASSERT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "destroying its own executor neither deadlocks nor crashes";
  EXPECT_EQ(executor, nullptr);
  // The worker now returns from its task into its loop. With the executor gone it may touch only
  // the state it shares (AddressSanitizer reports any other access).
}

}  // namespace
}  // namespace QVRAdKit::Platform
