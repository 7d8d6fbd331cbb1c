#include "QVRAdKit/Builders/LoadingAggregate.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "QVRAdKit/Rx/BehaviorSubject.h"
#include "QVRAdKit/Rx/CombineLatest.h"
#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit {
namespace {

using Subject = Rx::BehaviorSubject<bool>;
using Subjects = std::map<std::string, std::shared_ptr<Subject>>;

// What the waterfall did before the aggregate: the whole combination re-subscribed at each change,
// over the streams as they are or without their repeats.
class Resubscribing {
 public:
  void restart(const Subjects& subjects, LoadingAggregate::Repeats repeats) {
    bag_ = Rx::DisposeBag();
    std::vector<Rx::Observable<bool>> streams;
    for (const auto& [key, subject] : subjects) {
      streams.push_back(repeats == LoadingAggregate::Repeats::drop
                            ? subject->asObservable().distinctUntilChanged()
                            : subject->asObservable());
    }
    Rx::combineLatest(std::move(streams))
        .map([](const std::vector<bool>& loading) {
          for (bool isLoading : loading) {
            if (isLoading) return true;
          }
          return false;
        })
        .catchAndReturn(false)
        .bind(relay)
        .disposed(bag_);
  }
  Rx::BehaviorRelay<bool> relay{false};

 private:
  Rx::DisposeBag bag_;
};

// Records every value a relay receives, repeats included.
struct Recorder {
  explicit Recorder(const Rx::BehaviorRelay<bool>& relay)
      : subscription(relay.asObservable().subscribe([this](const bool& v) { seen.push_back(v); })) {
  }
  std::vector<bool> seen;
  Rx::Disposable subscription;
};

Rx::Error failure() {
  return std::make_exception_ptr(std::runtime_error("stream failed"));
}

TEST(LoadingAggregateTest, CountsLoadingStreamsAndIgnoresReplacedOnes) {
  Rx::BehaviorRelay<bool> relay(false);
  Recorder recorder(relay);
  LoadingAggregate aggregate(relay);
  aggregate.restart();
  EXPECT_EQ(recorder.seen, (std::vector<bool>{false, false})) << "an empty set answers false";

  Subject a(true), b(false);
  aggregate.watch("A", a.asObservable());
  aggregate.watch("B", b.asObservable());
  EXPECT_EQ(recorder.seen.size(), 2u) << "nothing before the restart";
  aggregate.restart();
  b.onNext(true);
  a.onNext(false);
  b.onNext(false);
  b.onNext(false);  // repeats pass
  EXPECT_EQ(recorder.seen, (std::vector<bool>{false, false, true, true, true, false, false}));

  Subject a2(true);
  aggregate.watch("A", a2.asObservable());
  aggregate.restart();
  a.onNext(true);  // the replaced stream no longer counts
  EXPECT_EQ(recorder.seen.back(), true);
  a2.onNext(false);
  EXPECT_EQ(recorder.seen.back(), false);
  EXPECT_EQ(recorder.seen.size(), 9u);
  EXPECT_EQ(aggregate.watchedCount(), 2u);
  aggregate.forgetAll();
  a2.onNext(true);
  EXPECT_EQ(recorder.seen.size(), 9u) << "nothing arrives once forgotten";
}

// Random changes of the set and random events of the streams, applied to the aggregate and to the
// re-subscribed combination alike: both relays must receive the same values in the same order,
// through completions (a stream that completed blocks every later round) and errors; with repeats
// dropped, as the combination of the streams through distinctUntilChanged().
void playRandomChanges(unsigned seed, LoadingAggregate::Repeats repeats) {
  const char* const keys[] = {"A", "B", "C", "D"};
  std::mt19937 random(seed);
  const auto roll = [&random](unsigned sides) { return random() % sides; };
  Resubscribing reference;
  Recorder expected(reference.relay);
  Rx::BehaviorRelay<bool> relay(false);
  Recorder actual(relay);
  LoadingAggregate aggregate(relay);
  Subjects subjects;
  std::vector<std::shared_ptr<Subject>> all;  // replaced ones keep emitting into nothing
  for (int step = 0; step < 60; ++step) {
    const std::string key = keys[roll(4)];
    bool setChanged = true;
    switch (roll(8)) {
      case 0:
      case 1: {  // a fresh stream under key
        auto subject = std::make_shared<Subject>(roll(2) == 0);
        all.push_back(subject);
        subjects[key] = subject;
        aggregate.watch(key, subject->asObservable(), repeats);
        break;
      }
      case 2:
        subjects.erase(key);
        aggregate.forget(key);
        break;
      case 3:
        if (roll(6) == 0) {
          subjects.clear();
          aggregate.forgetAll();
        }
        break;
      default: {  // an event of some stream, watched or not
        setChanged = false;
        if (all.empty()) continue;
        auto& subject = *all[roll(static_cast<unsigned>(all.size()))];
        const unsigned event = roll(20);
        if (event == 0) {
          subject.onCompleted();
        } else if (event == 1 && roll(3) == 0) {
          subject.onError(failure());
        } else {
          subject.onNext(roll(2) == 0);
        }
      }
    }
    if (setChanged) {
      reference.restart(subjects, repeats);
      aggregate.restart();
    }
    ASSERT_EQ(actual.seen, expected.seen) << "step " << step;
  }
}

TEST(LoadingAggregateTest, GivesTheRelayWhatReSubscribingTheCombinationGives) {
  for (const auto repeats : {LoadingAggregate::Repeats::pass, LoadingAggregate::Repeats::drop}) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << ", repeats dropped "
                                      << (repeats == LoadingAggregate::Repeats::drop));
      ASSERT_NO_FATAL_FAILURE(playRandomChanges(seed, repeats));
    }
  }
}

// A relay subscriber that changes the set from inside an emission, as the waterfall's owners may.
TEST(LoadingAggregateTest, SurvivesAChangeOfTheSetFromInsideAnEmission) {
  Rx::BehaviorRelay<bool> relay(false);
  LoadingAggregate aggregate(relay);
  Subject a(true);
  Subject replacement(false);
  aggregate.watch("A", a.asObservable());
  aggregate.restart();
  std::vector<bool> seen;
  Rx::Disposable subscription = relay.asObservable().subscribe([&](const bool& loading) {
    seen.push_back(loading);
    if (!loading && aggregate.watchedCount() == 1 && seen.size() == 2) {
      aggregate.watch("A", replacement.asObservable());  // ends the emitting subscription
      aggregate.restart();
    }
  });
  a.onNext(false);
  a.onNext(true);  // no longer watched
  replacement.onNext(true);
  EXPECT_EQ(seen, (std::vector<bool>{true, false, false, true}));
}

}  // namespace
}  // namespace QVRAdKit
