#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::Platform {
namespace {

struct Counter {
  int value = 0;
};

TEST(EnvironmentTest, ScopesNestAndRestore) {
  auto outer = Environment::makeForTesting();
  auto inner = Environment::makeForTesting();
  Environment* before = &Environment::current();
  {
    Environment::Scope outerScope(*outer);
    EXPECT_EQ(&Environment::current(), outer.get());
    {
      Environment::Scope innerScope(*inner);
      EXPECT_EQ(&Environment::current(), inner.get());
      Environment* seenFromThread = nullptr;
      std::thread([&] { seenFromThread = &Environment::current(); }).join();
      EXPECT_EQ(seenFromThread, inner.get());
    }
    EXPECT_EQ(&Environment::current(), outer.get());
  }
  EXPECT_EQ(&Environment::current(), before);
  EXPECT_NE(before, outer.get());
  EXPECT_EQ(Environment::current().manualClock(), nullptr);  // the process default is the system's
}

TEST(EnvironmentTest, SharedInstanceIsMadeOncePerEnvironmentEvenWhenThreadsRace) {
  auto environment = Environment::makeForTesting();
  std::atomic<int> makes{0};
  auto make = [&] {
    ++makes;
    return std::make_shared<Counter>();
  };
  std::latch start(2);
  std::shared_ptr<Counter> fromA;
  std::shared_ptr<Counter> fromB;
  std::thread a([&] {
    start.arrive_and_wait();
    fromA = environment->sharedInstance<Counter>(make);
  });
  std::thread b([&] {
    start.arrive_and_wait();
    fromB = environment->sharedInstance<Counter>(make);
  });
  a.join();
  b.join();
  EXPECT_EQ(makes.load(), 1);
  ASSERT_NE(fromA, nullptr);
  EXPECT_EQ(fromA, fromB);
  EXPECT_EQ(environment->sharedInstance<Counter>(make), fromA);
  EXPECT_EQ(environment->service<Counter>(), fromA);

  auto other = Environment::makeForTesting();
  EXPECT_EQ(other->service<Counter>(), nullptr);
  EXPECT_NE(other->sharedInstance<Counter>(make), fromA);
  EXPECT_EQ(makes.load(), 2);

  // An explicitly set service takes the place of the shared instance.
  auto replacement = std::make_shared<Counter>();
  other->setService(replacement);
  EXPECT_EQ(other->sharedInstance<Counter>(make), replacement);
  other->setService<Counter>(nullptr);
  EXPECT_EQ(other->service<Counter>(), nullptr);
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

TEST(EnvironmentTest, AdvanceRunsTimersAtTheirDueTimesInOrder) {
  auto environment = Environment::makeForTesting();
  ManualClock& clock = *environment->manualClock();
  MainQueue& queue = environment->mainQueue();
  const Date start = clock.now();
  std::vector<std::pair<std::string, TimeInterval>> ran;
  auto record = [&](std::string name) {
    return [&, name] { ran.emplace_back(name, clock.now().timeIntervalSince(start)); };
  };
  queue.asyncAfter(2, record("t2"));
  queue.asyncAfter(1, [&] {
    ran.emplace_back("t1", clock.now().timeIntervalSince(start));
    queue.asyncAfter(0.5, record("t1.5"));
    queue.async(record("t1-async"));
  });
  queue.asyncAfter(10, record("t10"));

  environment->advance(3);
  EXPECT_EQ(ran, (std::vector<std::pair<std::string, TimeInterval>>{
                     {"t1", 1}, {"t1-async", 1}, {"t1.5", 1.5}, {"t2", 2}}));
  EXPECT_EQ(clock.now(), start.addingTimeInterval(3));
  EXPECT_EQ(queue.pendingCount(), 1u);

  environment->advance(7);
  EXPECT_EQ(ran.back(), (std::pair<std::string, TimeInterval>{"t10", 10}));
}

// Calls a function when the last copy of the task holding it is destroyed.
struct OnDestroy {
  std::function<void()> action;
  ~OnDestroy() { action(); }
};

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
  auto signal = std::make_shared<OnDestroy>([&] { shutdownBegan.set_value(); });
  environment->background().async([signal] {});
  signal.reset();

  environment.reset();
  EXPECT_TRUE(sawService);
}

}  // namespace
}  // namespace QVRAdKit::Platform
