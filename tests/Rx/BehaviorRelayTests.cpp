#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/Rx/Rx.h"

namespace QVRAdKit::Rx {
namespace {

TEST(BehaviorRelayTests, SubscriberGetsCurrentValueAtOnceThenEveryLaterValue) {
  BehaviorRelay<int> relay(1);
  std::vector<int> seen;
  auto subscription = relay.asObservable().subscribe([&](int v) { seen.push_back(v); });
  relay.accept(1);  // equal to the current value: still delivered by a relay
  relay.accept(2);
  EXPECT_EQ(seen, (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(relay.value(), 2);

  std::vector<int> distinct;
  auto second =
      relay.asObservable().distinctUntilChanged().subscribe([&](int v) { distinct.push_back(v); });
  relay.accept(2);
  relay.accept(3);
  EXPECT_EQ(distinct, (std::vector<int>{2, 3}));
}

// The subscriber list keeps two entries inline and moves to the heap beyond: growing and shrinking
// across that boundary, in every order of disposal, reaches exactly the subscribers still there.
TEST(BehaviorRelayTests, SubscribersComingAndGoingAcrossTheInlineRoomEachGetEveryValueOnce) {
  const std::vector<std::vector<std::size_t>> disposalOrders = {
      {0}, {0, 1}, {1, 0}, {0, 1, 2}, {2, 0, 1}, {1, 2, 0}, {3, 0, 2, 1}, {1, 3, 2, 0}};
  for (const auto& order : disposalOrders) {
    BehaviorRelay<int> relay(0);
    std::vector<std::vector<int>> seen(order.size());
    std::vector<Disposable> subscriptions;
    for (auto& values : seen) {
      subscriptions.push_back(
          relay.asObservable().subscribe([&values](int v) { values.push_back(v); }));
    }
    std::vector<std::vector<int>> expected(order.size(), std::vector<int>{0});
    std::vector<bool> live(order.size(), true);
    for (std::size_t step = 0; step < order.size(); ++step) {
      const int value = static_cast<int>(step) + 1;
      relay.accept(value);
      for (std::size_t i = 0; i < live.size(); ++i) {
        if (live[i]) expected[i].push_back(value);
      }
      subscriptions[order[step]].dispose();
      live[order[step]] = false;
    }
    relay.accept(-1);  // nobody is left
    EXPECT_EQ(seen, expected) << "disposal order starting with " << order.front() << " of "
                              << order.size();
  }
}

TEST(BehaviorRelayTests, CallbacksMaySubscribeAndDisposeDuringARound) {
  BehaviorRelay<int> relay(0);
  std::vector<int> first, second, late;
  Disposable self, secondSubscription, lateSubscription;
  self = relay.asObservable().subscribe([&](int v) {
    first.push_back(v);
    if (v != 1) return;
    secondSubscription.dispose();  // a subscriber still due in this round
    lateSubscription = relay.asObservable().subscribe([&](int w) { late.push_back(w); });
    self.dispose();
  });
  secondSubscription = relay.asObservable().subscribe([&](int v) { second.push_back(v); });
  relay.accept(1);
  relay.accept(2);
  EXPECT_EQ(first, (std::vector<int>{0, 1}));
  EXPECT_EQ(second, (std::vector<int>{0}));
  EXPECT_EQ(late, (std::vector<int>{1, 2}));
}

// Outside an emission the list changes in place; the subscriber taken out is released after the
// subject's lock, so what its callback owned may subscribe to the same subject as it goes.
TEST(BehaviorRelayTests, SubscriberReleasedOnDisposalMaySubscribeToTheSameSubject) {
  BehaviorRelay<int> relay(0);
  std::vector<int> late;
  Disposable lateSubscription;
  struct OnRelease {
    explicit OnRelease(std::function<void()> then) : action(std::move(then)) {}
    OnRelease(const OnRelease&) = delete;
    OnRelease(OnRelease&&) = delete;
    OnRelease& operator=(const OnRelease&) = delete;
    OnRelease& operator=(OnRelease&&) = delete;
    ~OnRelease() { action(); }
    std::function<void()> action;
  };
  auto hook = std::make_shared<OnRelease>([&] {
    lateSubscription = relay.asObservable().subscribe([&](int v) { late.push_back(v); });
  });
  auto first = relay.asObservable().subscribe([hook = std::move(hook)](int) {});
  std::vector<Disposable> others;  // enough that the list has left its inline room
  for (int i = 0; i < 3; ++i) others.push_back(relay.asObservable().subscribe([](int) {}));
  relay.accept(1);
  first = Disposable();  // disposes and lets the only owner of the hook go
  relay.accept(2);
  EXPECT_EQ(late, (std::vector<int>{1, 2}));
  EXPECT_EQ(relay.subscriberCount(), 4U);
}

TEST(BehaviorRelayTests, RelayDestroyedWhileSubscribedAndInsideItsOwnCallback) {
  auto relay = std::make_unique<BehaviorRelay<int>>(0);
  auto stream = relay->asObservable();
  int calls = 0;
  auto subscription = relay->asObservable().subscribe([&](int v) {
    ++calls;
    if (v == 1) relay.reset();  // the owner lets the relay go while it is emitting
  });
  relay->accept(1);
  EXPECT_EQ(relay, nullptr);
  EXPECT_EQ(calls, 2);
  subscription.dispose();  // the relay is gone: nothing to remove, nothing breaks
  int fromHandle = -1;
  auto again = stream.subscribe([&](int v) { fromHandle = v; });
  EXPECT_EQ(fromHandle, 1);  // a stream handle keeps the state it was made from
}

TEST(BehaviorRelayTests, EmissionFromAnotherThreadThanTheSubscriber) {
  BehaviorRelay<int> relay(0);
  std::atomic<int> last{-1};
  Disposable subscription;
  std::thread subscriber(
      [&] { subscription = relay.asObservable().subscribe([&](int v) { last = v; }); });
  subscriber.join();
  std::thread emitter([&] {
    for (int i = 1; i <= 100; ++i) relay.accept(i);
  });
  emitter.join();
  EXPECT_EQ(last.load(), 100);
}

TEST(DisposeBagTests, ReplacingTheBagEndsItsGroupBeforeTheNextValue) {
  BehaviorRelay<int> relay(0);
  DisposeBag bag;
  std::vector<int> seen;
  relay.asObservable().subscribe([&](int v) { seen.push_back(v); }).disposed(bag);
  EXPECT_EQ(bag.size(), 1U);
  bag = DisposeBag();
  relay.accept(1);
  EXPECT_EQ(seen, (std::vector<int>{0}));
  {
    DisposeBag scoped;
    relay.asObservable().subscribe([&](int v) { seen.push_back(v); }).disposed(scoped);
  }
  relay.accept(2);
  EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

// Marks the test's thread confined for the scope's lifetime.
struct ConfinedThreadScope {
  ConfinedThreadScope() { ConfinableMutex::markThread(); }
  ~ConfinedThreadScope() { ConfinableMutex::unmarkThread(); }
  ConfinedThreadScope(const ConfinedThreadScope&) = delete;
  ConfinedThreadScope& operator=(const ConfinedThreadScope&) = delete;
};

// Built on a confined thread, the streams' locks are no-ops; what the subscribers see is the same.
TEST(ConfinableMutexTests, StreamsBuiltOnAConfinedThreadTakeNoLockAndBehaveAlike) {
  for (const bool confined : {false, true}) {
    SCOPED_TRACE(confined ? "confined" : "shared");
    std::optional<ConfinedThreadScope> scope;
    if (confined) scope.emplace();
    ConfinableMutex probe("probe");
    EXPECT_EQ(probe.isConfined(), confined);
    if (confined) {
      const std::lock_guard outer(probe);
      const std::lock_guard inner(probe);  // a real lock would deadlock here
    }

    BehaviorRelay<int> relay(0);
    BehaviorRelay<int> inner(100);
    std::vector<int> seen;
    DisposeBag bag;
    relay.asObservable()
        .distinctUntilChanged()
        .flatMap([&](int v) { return inner.asObservable().map([v](int w) { return v + w; }); })
        .subscribe([&](int v) {
          seen.push_back(v);
          if (v == 302) bag.dispose();  // the bag ends its subscription from inside it
        })
        .disposed(bag);
    relay.accept(0);  // repeated: dropped
    relay.accept(1);
    inner.accept(200);  // both inners see it
    inner.accept(300);
    relay.accept(2);
    EXPECT_EQ(seen, (std::vector<int>{100, 101, 200, 201, 300, 301, 302}));
    EXPECT_EQ(bag.size(), 0U);
  }

  ConfinableMutex later("later");
  EXPECT_FALSE(later.isConfined());
  later.confineToCurrentThread();
  EXPECT_TRUE(later.isConfined());
  {
    const ConfinedThreadScope first;
    const ConfinedThreadScope nested;
  }
  EXPECT_FALSE(ConfinableMutex::isThreadMarked()) << "marks nest and end with their scopes";
}

// A confined object shared with another thread would race; debug builds abort, naming it.
TEST(ConfinableMutexTests, ConfinedObjectUsedFromAnotherThreadAbortsInDebugBuilds) {
#ifdef NDEBUG
  GTEST_SKIP() << "the thread is checked in debug builds only";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const ConfinedThreadScope scope;
  DisposeBag bag;
  EXPECT_DEATH(std::thread([&bag] { bag.dispose(); }).join(),
               "DisposeBag confined to one thread was used from another thread");
  BehaviorRelay<int> relay(0);
  auto subscription = relay.asObservable().distinctUntilChanged().subscribe([](int) {});
  EXPECT_DEATH(std::thread([&relay] { relay.accept(1); }).join(),
               "DistinctObserver confined to one thread was used from another thread");
#endif
}

}  // namespace
}  // namespace QVRAdKit::Rx
