#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "QVRAdKit/Rx/Rx.h"

namespace QVRAdKit::Rx {
namespace {

// Records every event of one subscription.
template <class T>
struct Recorder {
  std::vector<T> values;
  int completions = 0;
  int errors = 0;
  Disposable subscribe(const Observable<T>& stream) {
    return stream.subscribe([this](const T& v) { values.push_back(v); },
                            [this](const Error&) { ++errors; }, [this] { ++completions; });
  }
};

Error boomError() {
  return std::make_exception_ptr(std::runtime_error("boom"));
}

TEST(BehaviorSubjectTests, CompletedSubjectGivesLateSubscriberOnlyTheCompletion) {
  BehaviorSubject<bool> subject(false);
  Recorder<bool> early;
  auto earlySubscription = early.subscribe(subject.asObservable());
  subject.onNext(true);
  subject.onCompleted();
  subject.onNext(false);  // ignored after completion
  EXPECT_EQ(early.values, (std::vector<bool>{false, true}));
  EXPECT_EQ(early.completions, 1);

  Recorder<bool> late;
  auto lateSubscription = late.subscribe(subject.asObservable());
  EXPECT_TRUE(late.values.empty());
  EXPECT_EQ(late.completions, 1);
  EXPECT_TRUE(subject.value());

  BehaviorSubject<int> failing(0);
  failing.onError(boomError());
  Recorder<int> afterError;
  auto errorSubscription = afterError.subscribe(failing.asObservable());
  EXPECT_TRUE(afterError.values.empty());
  EXPECT_EQ(afterError.errors, 1);
}

TEST(CombineLatestTests, WaitsForEveryInputThenEmitsInCollectionOrder) {
  BehaviorSubject<int> a(1);
  BehaviorSubject<int> b(0);
  Recorder<std::vector<int>> blocked;
  auto blockedSubscription =
      blocked.subscribe(combineLatest<int>({a.asObservable(), Observable<int>::never()}));
  a.onNext(2);
  EXPECT_TRUE(blocked.values.empty());

  Recorder<std::vector<int>> both;
  auto subscription = both.subscribe(combineLatest<int>({a.asObservable(), b.asObservable()}));
  b.onNext(5);
  a.onNext(3);
  EXPECT_EQ(both.values, (std::vector<std::vector<int>>{{2, 0}, {2, 5}, {3, 5}}));
}

TEST(CombineLatestTests, InputCompletingWithoutValueBlocksForGoodAndAllCompletedCompletes) {
  BehaviorSubject<int> a(1);
  Recorder<std::vector<int>> recorder;
  auto subscription =
      recorder.subscribe(combineLatest<int>({a.asObservable(), Observable<int>::empty()}));
  a.onNext(2);
  EXPECT_TRUE(recorder.values.empty());
  EXPECT_EQ(recorder.completions, 0);
  a.onCompleted();
  EXPECT_EQ(recorder.completions, 1);

  Recorder<std::vector<int>> justs;
  auto justSubscription =
      justs.subscribe(combineLatest<int>({Observable<int>::just(1), Observable<int>::just(2)}));
  EXPECT_EQ(justs.values, (std::vector<std::vector<int>>{{1, 2}}));
  EXPECT_EQ(justs.completions, 1);
}

TEST(CombineLatestTests, EmptyCollectionEmitsOneEmptyArrayThenCompletes) {
  Recorder<std::vector<bool>> recorder;
  auto subscription = recorder.subscribe(combineLatest<bool>({}));
  EXPECT_EQ(recorder.values, (std::vector<std::vector<bool>>{{}}));
  EXPECT_EQ(recorder.completions, 1);
}

TEST(OperatorTests, BindToARelayKeepsItsValueOnTheEndAndSurvivesTheRelay) {
  BehaviorRelay<int> relay(0);
  BehaviorSubject<int> source(4);
  auto binding = source.asObservable().bind(relay);
  EXPECT_EQ(relay.value(), 4);
  source.onCompleted();
  EXPECT_EQ(relay.value(), 4);

  BehaviorRelay<int> failing(0);
  BehaviorSubject<int> failingSource(5);
  auto failingBinding = failingSource.asObservable().bind(failing);
  failingSource.onError(boomError());
  EXPECT_EQ(failing.value(), 5);

  // The binding outlives its relay: later values go nowhere, and nothing touches the dead relay.
  BehaviorSubject<int> longLived(1);
  Disposable orphan;
  {
    BehaviorRelay<int> shortLived(0);
    orphan = longLived.asObservable().bind(shortLived);
    EXPECT_EQ(shortLived.value(), 1);
  }
  longLived.onNext(2);
}

// An observer that records what a stream delivered to it, in order.
class RecordingObserver final : public Observer<int> {
 public:
  void onNext(const int& value) override { events.push_back(std::to_string(value)); }
  void onError(const Error&) override { events.emplace_back("error"); }
  void onCompleted() override { events.emplace_back("completed"); }
  std::vector<std::string> events;
};

TEST(OperatorTests, BindToAnObserverForwardsValuesThenTheCompletionOrTheError) {
  using Events = std::vector<std::string>;
  BehaviorSubject<int> source(1);
  auto observer = std::make_shared<RecordingObserver>();
  auto binding = source.asObservable().map([](int v) { return v * 10; }).bind(observer);
  source.onNext(2);
  source.onCompleted();
  EXPECT_EQ(observer->events, (Events{"10", "20", "completed"}));

  BehaviorSubject<int> failing(7);
  auto failed = std::make_shared<RecordingObserver>();
  auto failedBinding = failing.asObservable().bind(failed);
  failing.onError(boomError());
  EXPECT_EQ(failed->events, (Events{"7", "error"}));

  // Disposing the binding stops it before the end, and releases the observer.
  BehaviorRelay<int> relay(0);
  auto stopped = std::make_shared<RecordingObserver>();
  std::weak_ptr<RecordingObserver> weakStopped = stopped;
  auto stoppedBinding = relay.asObservable().bind(stopped);
  stopped.reset();
  relay.accept(1);
  ASSERT_FALSE(weakStopped.expired());  // the binding holds it while live
  EXPECT_EQ(weakStopped.lock()->events, (Events{"0", "1"}));
  stoppedBinding.dispose();
  relay.accept(2);
  EXPECT_TRUE(weakStopped.expired());
}

TEST(OperatorTests, TakeCompletesAfterCountAndReleasesTheSource) {
  BehaviorRelay<int> relay(7);
  Recorder<int> first;
  int released = 0;
  auto subscription =
      first.subscribe(Observable<int>::create([&](const ObserverPtr<int>& o) {
                        return relay.asObservable().subscribe(o, [&] { ++released; });
                      }).take(1));
  relay.accept(8);
  EXPECT_EQ(first.values, (std::vector<int>{7}));
  EXPECT_EQ(first.completions, 1);
  EXPECT_EQ(released, 1);
  subscription.dispose();  // already ended: the source is not released twice
  EXPECT_EQ(released, 1);

  Recorder<int> none;
  auto zero = none.subscribe(relay.asObservable().take(0));
  EXPECT_TRUE(none.values.empty());
  EXPECT_EQ(none.completions, 1);
}

TEST(OperatorTests, SkipFilterMapUnwrapJust) {
  BehaviorRelay<int> relay(0);
  Recorder<int> skipped;
  auto s1 = skipped.subscribe(relay.asObservable().skip(2));
  relay.accept(1);
  relay.accept(2);
  relay.accept(3);
  EXPECT_EQ(skipped.values, (std::vector<int>{2, 3}));

  Recorder<std::string> mapped;
  auto s2 =
      mapped.subscribe(relay.asObservable().filter([](int v) { return v % 2 == 1; }).map([](int v) {
        return std::to_string(v);
      }));
  relay.accept(4);
  relay.accept(5);
  EXPECT_EQ(mapped.values, (std::vector<std::string>{"3", "5"}));

  BehaviorRelay<std::optional<int>> optional(std::nullopt);
  Recorder<int> unwrapped;
  auto s3 = unwrapped.subscribe(optional.asObservable().unwrap());
  optional.accept(1);
  optional.accept(std::nullopt);
  optional.accept(2);
  EXPECT_EQ(unwrapped.values, (std::vector<int>{1, 2}));

  BehaviorRelay<std::shared_ptr<int>> pointer(nullptr);
  Recorder<std::shared_ptr<int>> present;
  auto s4 = present.subscribe(pointer.asObservable().unwrap());
  pointer.accept(std::make_shared<int>(3));
  ASSERT_EQ(present.values.size(), 1U);
  EXPECT_EQ(*present.values[0], 3);

  Recorder<int> just;
  auto s5 = just.subscribe(Observable<int>::just(9));
  EXPECT_EQ(just.values, (std::vector<int>{9}));
  EXPECT_EQ(just.completions, 1);
}

TEST(OperatorTests, FlatMapMergesEveryInnerAndCompletesWhenAllHave) {
  BehaviorSubject<bool> outer(false);
  BehaviorRelay<int> inner(10);
  Recorder<int> merged;
  auto subscription =
      merged.subscribe(outer.asObservable().filter([](bool v) { return v; }).flatMap([&](bool) {
        return inner.asObservable().skip(1);
      }));
  outer.onNext(true);
  outer.onNext(true);  // a second inner: each change now arrives twice
  inner.accept(11);
  EXPECT_EQ(merged.values, (std::vector<int>{11, 11}));
  outer.onCompleted();
  EXPECT_EQ(merged.completions, 0);  // the inners are still running

  BehaviorSubject<int> source(1);
  Recorder<bool> justs;
  auto second = justs.subscribe(
      source.asObservable().flatMap([](int v) { return Observable<bool>::just(v > 1); }));
  source.onNext(2);
  source.onCompleted();
  EXPECT_EQ(justs.values, (std::vector<bool>{false, true}));
  EXPECT_EQ(justs.completions, 1);
}

struct Owner : std::enable_shared_from_this<Owner> {
  ObservedValue<int> property{1};
  Observable<int> stream() { return weaklyObserveKeyPath(weak_from_this(), &Owner::property); }
};

TEST(ObservedValueTests, WeakObservationEmitsCurrentThenChangesWithoutKeepingTheOwner) {
  auto owner = std::make_shared<Owner>();
  std::weak_ptr<Owner> weak = owner;
  auto stream = owner->stream();
  Recorder<int> recorder;
  auto subscription = recorder.subscribe(stream);
  owner->property.set(2);
  owner->property.set(2);
  EXPECT_EQ(recorder.values, (std::vector<int>{1, 2, 2}));
  owner.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(recorder.completions, 1);

  Recorder<int> late;
  auto lateSubscription = late.subscribe(stream);
  EXPECT_TRUE(late.values.empty());
  EXPECT_EQ(late.completions, 1);
}

}  // namespace
}  // namespace QVRAdKit::Rx
