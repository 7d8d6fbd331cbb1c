#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "QVRAdKit/Rx/Rx.h"

namespace QVRAdKit::Rx {
namespace {

bool anyTrue(const std::vector<bool>& values) {
  for (bool value : values) {
    if (value) return true;
  }
  return false;
}

Error makeError() {
  return std::make_exception_ptr(std::runtime_error("boom"));
}

TEST(CombineLatestMapTests, MapSeesLatestValuesInOrderAndFollowsTheCompletionRules) {
  BehaviorSubject<int> a(1);
  BehaviorSubject<int> b(2);
  std::vector<std::vector<int>> seen;
  int completions = 0;
  auto subscription = combineLatest<int>({a.asObservable(), b.asObservable()})
                          .map([&seen](const std::vector<int>& latest) {
                            seen.push_back(latest);
                            return latest[0] * 10 + latest[1];
                          })
                          .subscribe([](int) {}, {}, [&] { ++completions; });
  b.onNext(3);
  a.onNext(4);
  EXPECT_EQ(seen, (std::vector<std::vector<int>>{{1, 2}, {1, 3}, {4, 3}}));
  a.onCompleted();
  b.onNext(5);  // one input completed: the other still drives the combination
  EXPECT_EQ(seen.back(), (std::vector<int>{4, 5}));
  EXPECT_EQ(completions, 0);
  b.onCompleted();
  EXPECT_EQ(completions, 1);

  // An input that completes without a value: never a value, completion once all have completed.
  BehaviorRelay<bool> live(true);
  int mapped = 0;
  int blockedCompletions = 0;
  auto blocked = combineLatest<bool>({live.asObservable(), Observable<bool>::empty()})
                     .map([&mapped](const std::vector<bool>& values) {
                       ++mapped;
                       return anyTrue(values);
                     })
                     .subscribe([](bool) {}, {}, [&] { ++blockedCompletions; });
  live.accept(false);
  EXPECT_EQ(mapped, 0);
  EXPECT_EQ(blockedCompletions, 0);

  // No inputs: the transform runs once on an empty array, then the stream completes.
  std::vector<bool> emptyResults;
  int emptyCompletions = 0;
  auto empty = combineLatest<bool>({}).map(anyTrue).subscribe(
      [&](bool v) { emptyResults.push_back(v); }, {}, [&] { ++emptyCompletions; });
  EXPECT_EQ(emptyResults, (std::vector<bool>{false}));
  EXPECT_EQ(emptyCompletions, 1);
}

TEST(CombineLatestMapTests, OneCombinationServesMappedAndPlainSubscribersAlike) {
  BehaviorRelay<bool> a(false);
  BehaviorRelay<bool> b(false);
  auto combined = combineLatest<bool>({a.asObservable(), b.asObservable()});
  std::vector<bool> any;
  std::vector<std::vector<bool>> arrays;
  auto mapped = combined.map(anyTrue).subscribe([&](bool v) { any.push_back(v); });
  Observable<std::vector<bool>> plain = combined;  // the array stream, as any other Observable
  auto raw = plain.subscribe([&](const std::vector<bool>& v) { arrays.push_back(v); });
  b.accept(true);
  EXPECT_EQ(any, (std::vector<bool>{false, true}));
  EXPECT_EQ(arrays, (std::vector<std::vector<bool>>{{false, false}, {false, true}}));

  // A stateful transform is called once per combined emission.
  int calls = 0;
  auto counting = combined.map([calls](const std::vector<bool>&) mutable { return ++calls; })
                      .subscribe([&](int v) { calls = v; });
  a.accept(true);
  EXPECT_EQ(calls, 2);
}

TEST(CombineLatestMapTests, ErrorEndsEveryInputAndReachesCatch) {
  BehaviorRelay<bool> healthy(true);
  BehaviorSubject<bool> failing(false);
  BehaviorRelay<bool> isLoading(false);
  DisposeBag bag;
  combineLatest<bool>({healthy.asObservable(), failing.asObservable()})
      .map(anyTrue)
      .catchAndReturn(false)
      .bind(isLoading)
      .disposed(bag);
  EXPECT_TRUE(isLoading.value());
  EXPECT_EQ(healthy.subscriberCount(), 1U);
  failing.onError(makeError());
  EXPECT_FALSE(isLoading.value());
  EXPECT_EQ(healthy.subscriberCount(), 0U);  // the other input was released
  healthy.accept(true);
  EXPECT_FALSE(isLoading.value());

  // An input failing at subscription: the later inputs are never subscribed.
  BehaviorRelay<bool> later(true);
  int errors = 0;
  auto failedAtOnce =
      combineLatest<bool>({Observable<bool>::error(makeError()), later.asObservable()})
          .map(anyTrue)
          .subscribe([](bool) {}, [&](const Error&) { ++errors; });
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(later.subscriberCount(), 0U);
}

TEST(CombineLatestReentrancyTests, DownstreamMayEmitIntoAnInputAndDisposeTheCombination) {
  BehaviorRelay<bool> first(false);
  BehaviorRelay<bool> second(false);
  std::vector<bool> seen;
  Disposable subscription;
  subscription = combineLatest<bool>({first.asObservable(), second.asObservable()})
                     .map(anyTrue)
                     .subscribe([&](bool any) {
                       seen.push_back(any);
                       // Reacting to "loading" by finishing the other load, from the callback.
                       if (any && second.value()) second.accept(false);
                     });
  second.accept(true);
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));

  // Disposed from inside its own downstream: nothing more arrives and both inputs are released.
  int after = 0;
  Disposable self;
  self = combineLatest<bool>({first.asObservable(), second.asObservable()})
             .map(anyTrue)
             .subscribe([&](bool any) {
               if (!any) return;
               self.dispose();
               ++after;
               first.accept(false);  // would emit again if the combination were still live
             });
  first.accept(true);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(first.subscriberCount(), 1U);  // only the first combination is left
  EXPECT_EQ(second.subscriberCount(), 1U);
}

TEST(CombineLatestReentrancyTests, CombinationDisposedByAnEarlierSubscriberOfTheSameInput) {
  BehaviorRelay<int> input(0);
  std::vector<int> combined;
  Disposable combination;
  auto earlier = input.asObservable().subscribe([&](int v) {
    if (v == 2) combination.dispose();
  });
  combination = combineLatest<int>({input.asObservable()})
                    .map([](const std::vector<int>& v) { return v[0]; })
                    .subscribe([&](int v) { combined.push_back(v); });
  input.accept(1);
  input.accept(2);  // the earlier subscriber ends the combination within this round
  input.accept(3);
  EXPECT_EQ(combined, (std::vector<int>{0, 1}));
  EXPECT_EQ(input.subscriberCount(), 1U);
}

TEST(SubjectReentrancyTests, NestedEmissionsDeliverInCallOrderAtAnyDepth) {
  // Deeper than the subject's emission slots, so the fallback path runs too.
  BehaviorRelay<int> relay(0);
  std::vector<int> outer;
  std::vector<int> inner;
  auto first = relay.asObservable().subscribe([&](int v) {
    outer.push_back(v);
    if (v > 0 && v < 8) relay.accept(v + 1);
  });
  auto second = relay.asObservable().subscribe([&](int v) { inner.push_back(v); });
  relay.accept(1);
  EXPECT_EQ(outer, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  // The second subscriber hears the nested values first, then the outer rounds finish late.
  EXPECT_EQ(inner, (std::vector<int>{0, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(relay.value(), 8);
}

TEST(SubjectReentrancyTests, SubscriberDisposedDuringARoundIsReleasedWhenTheRoundEnds) {
  BehaviorRelay<int> relay(0);
  auto observer = std::make_shared<int>(0);
  std::weak_ptr<int> weak = observer;
  Disposable victim;
  auto killer = relay.asObservable().subscribe([&](int v) {
    if (v == 1) victim.dispose();
  });
  victim =
      relay.asObservable().subscribe([counter = std::move(observer)](int v) { *counter += v; });
  EXPECT_FALSE(weak.expired());
  relay.accept(1);  // the victim is due later in this very round
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(relay.subscriberCount(), 1U);
}

TEST(SubjectReentrancyTests, SubjectDestroyedInsideItsOwnEmission) {
  // The relay is the only owner of its state: destroying it from a callback frees the state while
  // the round is running. The round finishes for the subscribers due, then stops cleanly.
  auto relay = std::make_unique<BehaviorRelay<int>>(0);
  std::vector<int> firstSeen;
  std::vector<int> secondSeen;
  auto first = relay->asObservable().subscribe([&](int v) {
    firstSeen.push_back(v);
    if (v == 1) relay.reset();
  });
  auto second = relay->asObservable().subscribe([&](int v) { secondSeen.push_back(v); });
  relay->accept(1);
  EXPECT_EQ(relay, nullptr);
  EXPECT_EQ(firstSeen, (std::vector<int>{0, 1}));
  EXPECT_EQ(secondSeen, (std::vector<int>{0, 1}));
  first.dispose();
  second.dispose();

  // Destroyed two emissions deep: both frames finish without touching the dead state.
  auto nested = std::make_unique<BehaviorRelay<int>>(0);
  std::vector<int> nestedSeen;
  auto subscription = nested->asObservable().subscribe([&](int v) {
    nestedSeen.push_back(v);
    if (v == 1) nested->accept(2);
    if (v == 2) nested.reset();
  });
  nested->accept(1);
  EXPECT_EQ(nested, nullptr);
  EXPECT_EQ(nestedSeen, (std::vector<int>{0, 1, 2}));

  // A subject completed from inside its own emission: the rest of the round hears the completion
  // and not the value any more.
  BehaviorSubject<int> subject(0);
  std::vector<std::string> events;
  auto completer = subject.asObservable().subscribe(
      [&](int v) {
        events.push_back(std::string("a").append(std::to_string(v)));
        if (v == 1) subject.onCompleted();
      },
      {}, [&] { events.emplace_back("a-done"); });
  auto listener = subject.asObservable().subscribe(
      [&](int v) { events.push_back(std::string("b").append(std::to_string(v))); }, {},
      [&] { events.emplace_back("b-done"); });
  subject.onNext(1);
  EXPECT_EQ(events, (std::vector<std::string>{"a0", "b0", "a1", "a-done", "b-done"}));
}

TEST(SubjectThreadingTests, InputsEmittingOnTwoThreadsWhileAThirdSubscribes) {
  BehaviorRelay<int> left(0);
  BehaviorRelay<int> right(0);
  std::atomic<int> combined{0};
  auto subscription = combineLatest<int>({left.asObservable(), right.asObservable()})
                          .map([](const std::vector<int>& v) { return v[0] + v[1]; })
                          .subscribe([&](int) { combined.fetch_add(1); });
  constexpr int kRounds = 2000;
  std::thread leftThread([&] {
    for (int i = 1; i <= kRounds; ++i) left.accept(i);
  });
  std::thread rightThread([&] {
    for (int i = 1; i <= kRounds; ++i) right.accept(i);
  });
  std::thread churn([&] {
    for (int i = 0; i < 200; ++i) {
      auto passing = left.asObservable().subscribe([](int) {});
    }
  });
  leftThread.join();
  rightThread.join();
  churn.join();
  EXPECT_EQ(combined.load(), 1 + 2 * kRounds);  // the first combined value, then one per value
  EXPECT_EQ(left.subscriberCount(), 1U);
  EXPECT_EQ(left.value() + right.value(), 2 * kRounds);
}

}  // namespace
}  // namespace QVRAdKit::Rx
