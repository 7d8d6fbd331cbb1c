#pragma once
// The subscription behind combineLatest and combineLatest(...).map(f). The sink keeps the latest
// value of every input in one vector and, on each value once every input has one, runs the
// transform over that vector in place: mapping the combination costs no copy of the N values and
// no allocation. Plain combineLatest uses a transform that copies the vector, which is what its
// subscribers receive.
// Threading: inputs may emit on any threads. The transform runs under the sink's lock, so it sees
// a consistent set of values; it must not emit into the combination's own inputs. Downstream
// observers are called outside the lock and may subscribe, dispose or emit into the inputs.

#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "QVRAdKit/Rx/Observable.h"
#include "QVRAdKit/Rx/detail/SpinLock.h"

namespace QVRAdKit::Rx::detail {

// The transform of plain combineLatest: the subscriber receives its own copy of the values.
struct CopyLatest {
  template <class V>
  V operator()(const V& values) const {
    return values;
  }
};

template <class T, class F>
using CombinedType = std::decay_t<std::invoke_result_t<F&, const std::vector<T>&>>;

template <class T, class F>
class CombineLatestSink final : public Cancelable,
                                public std::enable_shared_from_this<CombineLatestSink<T, F>> {
 public:
  using U = CombinedType<T, F>;

  CombineLatestSink(ObserverPtr<U> downstream, F transform, std::size_t count)
      : downstream_(std::move(downstream)),
        transform_(std::move(transform)),
        pending_(count),
        done_(count, false) {}

  void start(const std::vector<Observable<T>>& sources) {
    std::vector<Disposable> subscriptions;
    subscriptions.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      // An input that failed at once has ended the combination: the rest are not started.
      if (isStopped()) break;
      subscriptions.push_back(
          sources[i].subscribe(std::make_shared<InputObserver>(this->shared_from_this(), i)));
    }
    std::lock_guard lock(lock_);
    // When the combination ended while starting, `subscriptions` ends them after the unlock.
    if (!stopped_) subscriptions_ = std::move(subscriptions);
  }

  void dispose() noexcept override {
    std::vector<Disposable> subscriptions;
    {
      std::lock_guard lock(lock_);
      stopped_ = true;
      subscriptions.swap(subscriptions_);
    }
    // The input subscriptions end here, outside the lock: ending one may re-enter the sink.
  }

 private:
  // Receives one input's events. It holds the sink strongly, so a value reaches the sink without
  // a weak-pointer lock; the loop sink -> input subscription -> this observer -> sink is broken
  // when the sink is disposed or terminates, which drops every input subscription.
  class InputObserver final : public Observer<T> {
   public:
    InputObserver(std::shared_ptr<CombineLatestSink> sink, std::size_t index)
        : sink_(std::move(sink)), index_(index) {}
    void onNext(const T& value) override { sink_->next(index_, value); }
    void onError(const Error& error) override { sink_->fail(error); }
    void onCompleted() override { sink_->completed(index_); }

   private:
    const std::shared_ptr<CombineLatestSink> sink_;
    const std::size_t index_;
  };

  bool isStopped() {
    std::lock_guard lock(lock_);
    return stopped_;
  }

  void next(std::size_t index, const T& value) {
    std::optional<U> combined;
    {
      std::lock_guard lock(lock_);
      if (stopped_) return;
      if (!complete_) {
        if (!pending_[index]) ++withValue_;
        pending_[index] = value;
        if (withValue_ < pending_.size()) return;
        // Every input has a value: from now on the values live in one plain vector.
        latest_.reserve(pending_.size());
        for (auto& slot : pending_) latest_.push_back(std::move(*slot));
        pending_ = {};
        complete_ = true;
      } else {
        latest_[index] = value;
      }
      combined.emplace(transform_(std::as_const(latest_)));
    }
    downstream_->onNext(*combined);
  }

  void completed(std::size_t index) {
    {
      std::lock_guard lock(lock_);
      if (stopped_ || done_[index]) return;
      done_[index] = true;
      if (++doneCount_ < done_.size()) return;
      stopped_ = true;
    }
    downstream_->onCompleted();
  }

  void fail(const Error& error) {
    std::vector<Disposable> subscriptions;
    {
      std::lock_guard lock(lock_);
      if (stopped_) return;
      stopped_ = true;
      subscriptions.swap(subscriptions_);
    }
    subscriptions.clear();  // the other inputs end before the subscriber hears of the error
    downstream_->onError(error);
  }

  const ObserverPtr<U> downstream_;
  F transform_;  // called under lock_ only
  SpinLock lock_;
  bool stopped_ = false;
  bool complete_ = false;  // every input has emitted; latest_ holds the values
  std::vector<std::optional<T>> pending_;
  std::vector<T> latest_;
  std::vector<bool> done_;
  std::size_t withValue_ = 0;
  std::size_t doneCount_ = 0;
  std::vector<Disposable> subscriptions_;
};

template <class T, class F>
class CombineLatestProducer final : public Producer<CombinedType<T, F>> {
 public:
  using Sources = std::vector<Observable<T>>;
  using U = CombinedType<T, F>;

  CombineLatestProducer(std::shared_ptr<const Sources> sources, F transform)
      : sources_(std::move(sources)), transform_(std::move(transform)) {}

  Disposable run(const ObserverPtr<U>& observer) const override {
    if (sources_->empty()) {
      F transform = transform_;
      observer->onNext(transform(std::vector<T>()));
      observer->onCompleted();
      return {};
    }
    auto sink = std::make_shared<CombineLatestSink<T, F>>(observer, transform_, sources_->size());
    sink->start(*sources_);
    return Disposable(std::move(sink));
  }

  [[nodiscard]] const std::shared_ptr<const Sources>& sources() const { return sources_; }

 private:
  std::shared_ptr<const Sources> sources_;
  F transform_;
};

}  // namespace QVRAdKit::Rx::detail
