#include "QVRAdKit/Builders/LoadingAggregate.h"

#include <utility>

namespace QVRAdKit {

// Hands one stream's events to its entry. The entry ends this subscription before it is reset or
// destroyed, so the pointers stay valid for every event delivered.
class LoadingAggregate::EntryObserver final : public Rx::Observer<bool> {
 public:
  EntryObserver(LoadingAggregate& owner, Entry& entry) : owner_(owner), entry_(entry) {}
  void onNext(const bool& loading) override { owner_.next(entry_, loading); }
  void onError(const Rx::Error& /*error*/) override { owner_.ended(entry_, true); }
  void onCompleted() override { owner_.ended(entry_, false); }

 private:
  LoadingAggregate& owner_;
  Entry& entry_;
};

void LoadingAggregate::watch(const std::string& key, const Rx::Observable<bool>& stream,
                             Repeats repeats) {
  auto [found, inserted] = entries_.try_emplace(key);
  Entry& entry = found->second;
  if (inserted) {
    entry.observer = std::make_shared<EntryObserver>(*this, entry);
  } else {
    // The key's observer serves the new stream too: once disposed, the old subscription passes
    // nothing more on, even from an emission under way.
    entry.subscription.dispose();
    remove(entry);
    entry.state = {};
  }
  entry.repeats = repeats;
  ++withoutValue_;
  subscribing_ = true;
  entry.subscription = stream.subscribe(entry.observer);
  subscribing_ = false;
}

void LoadingAggregate::forget(const std::string& key) {
  auto found = entries_.find(key);
  if (found == entries_.end()) return;
  found->second.subscription.dispose();
  remove(found->second);
  entries_.erase(found);
}

void LoadingAggregate::forgetAll() {
  // Each subscription ends before the map lets its entry go.
  for (auto& [key, entry] : entries_) entry.subscription.dispose();
  entries_.clear();
  withoutValue_ = endedCount_ = failedCount_ = loadingCount_ = 0;
}

void LoadingAggregate::restart() {
  roundLive_ = true;
  roundCanComplete_ = endedCount_ == 0;
  if (entries_.empty() || failedCount_ > 0) {
    // No stream to wait for, or one that fails at once: the combination answers false and ends.
    roundLive_ = false;
    accept_(false);
    return;
  }
  if (endedCount_ == entries_.size()) {
    roundLive_ = false;  // every stream ended: the combination ends without a value
    return;
  }
  emitIfComplete();
}

void LoadingAggregate::remove(const Entry& entry) {
  if (!entry.state.hasValue) --withoutValue_;
  if (entry.state.hasValue && entry.state.loading) --loadingCount_;
  if (entry.state.ended) --endedCount_;
  if (entry.state.failed) --failedCount_;
}

void LoadingAggregate::next(Entry& entry, bool loading) {
  if (entry.repeats == Repeats::drop && entry.state.hasValue && entry.state.loading == loading) {
    return;
  }
  if (!entry.state.hasValue) {
    entry.state.hasValue = true;
    --withoutValue_;
  } else if (entry.state.loading) {
    --loadingCount_;
  }
  entry.state.loading = loading;
  if (loading) ++loadingCount_;
  if (!subscribing_) emitIfComplete();
}

void LoadingAggregate::ended(Entry& entry, bool failed) {
  if (entry.state.ended) return;
  entry.state.ended = true;
  ++endedCount_;
  if (!failed) {
    if (endedCount_ == entries_.size()) roundLive_ = false;
    return;
  }
  entry.state.failed = true;
  ++failedCount_;
  if (subscribing_ || !roundLive_) return;
  roundLive_ = false;
  accept_(false);
}

void LoadingAggregate::emitIfComplete() {
  if (!roundLive_ || !roundCanComplete_ || withoutValue_ > 0) return;
  accept_(loadingCount_ > 0);
}

}  // namespace QVRAdKit
