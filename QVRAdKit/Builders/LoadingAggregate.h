#pragma once
// LoadingAggregate tells whether any of a set of keyed loading streams is loading, and feeds the
// answer to a relay. It gives the relay what re-subscribing
// `combineLatest(streams).map(anyTrue).catchAndReturn(false).bind(relay)` over every watched
// stream would give after each change of the set, but a change of one key costs one subscription,
// not one per key: the streams of the other keys stay subscribed and their latest values counted.
// For that the streams must behave as state: on subscription, the current value (or only the
// terminal event once ended), then every change.
//
// What the relay receives, as the re-subscribed combination would:
//  - restart(), called after each change of the set: the answer once, if every stream has a value
//    and none has ended; false for an empty set or when a stream has failed; nothing otherwise;
//  - then, until the next restart(), the answer on every value of a stream (repeats included,
//    unless the stream was watched with Repeats::drop: then as if through distinctUntilChanged())
//    once every stream has one, provided none had ended at the restart; false and nothing more
//    after the first error.
// Example:
//   LoadingAggregate aggregate(relay);
//   aggregate.watch("unit-a", ad->isLoadingStream());
//   aggregate.restart();
// Threading: main queue only. Each subscription's observer points back at its key's entry, which
// ends the subscription before it goes: nothing arrives after forget() or destruction.

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"
#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class LoadingAggregate {
 public:
  explicit LoadingAggregate(const Rx::BehaviorRelay<bool>& relay) : accept_(relay.acceptor()) {}
  LoadingAggregate(const LoadingAggregate&) = delete;
  LoadingAggregate& operator=(const LoadingAggregate&) = delete;
  ~LoadingAggregate() = default;

  // What becomes of a stream's value equal to the one before: passed on, or dropped as
  // distinctUntilChanged() would (without that operator's subscription).
  enum class Repeats { pass, drop };
  // Subscribes to stream under key, ending the subscription held there; the relay hears nothing
  // until restart().
  void watch(const std::string& key, const Rx::Observable<bool>& stream,
             Repeats repeats = Repeats::pass);
  // Ends the subscription under key, if any; the relay hears nothing until restart().
  void forget(const std::string& key);
  void forgetAll();
  // Starts a new round over the streams now watched (see above).
  void restart();

  [[nodiscard]] std::size_t watchedCount() const { return entries_.size(); }

 private:
  class EntryObserver;
  struct EntryState {
    bool hasValue = false;
    bool loading = false;
    bool ended = false;  // completed or failed
    bool failed = false;
  };
  struct Entry {
    Rx::Disposable subscription;
    // Made once per key and kept for every stream watched under it.
    std::shared_ptr<EntryObserver> observer;
    EntryState state;
    Repeats repeats = Repeats::pass;
  };

  // Takes entry's share out of the counts.
  void remove(const Entry& entry);
  void next(Entry& entry, bool loading);
  void ended(Entry& entry, bool failed);
  // Passes the answer on once every stream has a value, while the round may still emit.
  void emitIfComplete();

  Rx::detail::StateAcceptor<bool> accept_;
  std::unordered_map<std::string, Entry, Platform::TextHash, Platform::TextEqual> entries_;
  // Over entries_: how many have no value yet, have ended, have failed, and are loading.
  std::size_t withoutValue_ = 0;
  std::size_t endedCount_ = 0;
  std::size_t failedCount_ = 0;
  std::size_t loadingCount_ = 0;
  // The round: whether it may still emit (no error yet, not every stream ended), and whether it
  // started with no stream ended (otherwise one of them never gives it a value).
  bool roundLive_ = false;
  bool roundCanComplete_ = false;
  // While watch() subscribes: the first value is counted, not passed on.
  bool subscribing_ = false;
};

}  // namespace QVRAdKit
