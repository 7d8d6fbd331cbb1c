#pragma once
// combineLatest over a collection: emits the latest value of every input, in the collection's
// order, each time any input emits, once every input has emitted at least once. An input that
// completes without a value keeps it from ever emitting. It completes when every input has
// completed. An empty collection emits one empty array at once, then completes.
// Example: combineLatest(loadingStreams).map(anyTrue)

#include <mutex>
#include <optional>
#include <vector>

#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit::Rx {
namespace detail {

template <class T>
class CombineLatestSink final : public Cancelable,
                                public std::enable_shared_from_this<CombineLatestSink<T>> {
 public:
  CombineLatestSink(ObserverPtr<std::vector<T>> downstream, std::size_t count)
      : downstream_(std::move(downstream)), latest_(count), done_(count, false) {}

  void start(const std::vector<Observable<T>>& sources) {
    std::vector<Disposable> subscriptions;
    subscriptions.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      subscriptions.push_back(
          sources[i].subscribe(std::make_shared<InputObserver>(this->weak_from_this(), i)));
    }
    std::lock_guard lock(mutex_);
    if (!stopped_) subscriptions_ = std::move(subscriptions);
  }

  void dispose() noexcept override {
    std::vector<Disposable> subscriptions;
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      subscriptions.swap(subscriptions_);
    }
  }

 private:
  class InputObserver final : public Observer<T> {
   public:
    InputObserver(std::weak_ptr<CombineLatestSink> sink, std::size_t index)
        : sink_(std::move(sink)), index_(index) {}
    void onNext(const T& value) override {
      if (auto sink = sink_.lock()) sink->next(index_, value);
    }
    void onError(const Error& error) override {
      if (auto sink = sink_.lock()) sink->fail(error);
    }
    void onCompleted() override {
      if (auto sink = sink_.lock()) sink->completed(index_);
    }

   private:
    std::weak_ptr<CombineLatestSink> sink_;
    std::size_t index_;
  };

  void next(std::size_t index, const T& value) {
    std::vector<T> combined;
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      if (!latest_[index]) ++withValue_;
      latest_[index] = value;
      if (withValue_ < latest_.size()) return;
      combined.reserve(latest_.size());
      for (const auto& latest : latest_) combined.push_back(*latest);
    }
    downstream_->onNext(combined);
  }

  void completed(std::size_t index) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_ || done_[index]) return;
      done_[index] = true;
      if (++doneCount_ < done_.size()) return;
      stopped_ = true;
    }
    downstream_->onCompleted();
  }

  void fail(const Error& error) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
    }
    dispose();
    downstream_->onError(error);
  }

  const ObserverPtr<std::vector<T>> downstream_;
  std::mutex mutex_;
  bool stopped_ = false;
  std::vector<std::optional<T>> latest_;
  std::vector<bool> done_;
  std::size_t withValue_ = 0;
  std::size_t doneCount_ = 0;
  std::vector<Disposable> subscriptions_;
};

template <class T>
class CombineLatestProducer final : public Producer<std::vector<T>> {
 public:
  explicit CombineLatestProducer(std::vector<Observable<T>> sources)
      : sources_(std::move(sources)) {}
  Disposable run(const ObserverPtr<std::vector<T>>& observer) const override {
    if (sources_.empty()) {
      observer->onNext({});
      observer->onCompleted();
      return {};
    }
    auto sink = std::make_shared<CombineLatestSink<T>>(observer, sources_.size());
    sink->start(sources_);
    return Disposable(std::move(sink));
  }

 private:
  std::vector<Observable<T>> sources_;
};

}  // namespace detail

template <class T>
Observable<std::vector<T>> combineLatest(std::vector<Observable<T>> sources) {
  return Observable<std::vector<T>>(
      std::make_shared<detail::CombineLatestProducer<T>>(std::move(sources)));
}

}  // namespace QVRAdKit::Rx
