#pragma once
// flatMap: one inner subscription per outer value, all merged into one downstream.
// Needs only Observable's declaration (its members are used in templates, so it is complete by the
// time they are instantiated): Observable.h includes this file through Operators.h, and including
// Observable.h here would leave this file's names undefined where Operators.h uses them whenever a
// host includes this file first.

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/Rx/Error.h"
#include "QVRAdKit/Rx/Observer.h"
#include "QVRAdKit/Rx/detail/Producer.h"

namespace QVRAdKit::Rx::detail {

template <class T, class U, class F>
class FlatMapSink final : public Cancelable,
                          public std::enable_shared_from_this<FlatMapSink<T, U, F>> {
 public:
  FlatMapSink(ObserverPtr<U> downstream, F makeInner)
      : downstream_(std::move(downstream)), makeInner_(std::move(makeInner)) {}

  void start(const Observable<T>& source) {
    auto outer = source.subscribe(std::make_shared<OuterObserver>(this->weak_from_this()));
    std::lock_guard lock(mutex_);
    if (!stopped_) outer_ = std::move(outer);
  }

  void dispose() noexcept override {
    Disposable outer;
    std::unordered_map<std::uint64_t, Disposable> inners;
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      outer = std::move(outer_);
      inners.swap(inners_);
    }
  }

 private:
  class OuterObserver final : public Observer<T> {
   public:
    explicit OuterObserver(std::weak_ptr<FlatMapSink> sink) : sink_(std::move(sink)) {}
    void onNext(const T& value) override {
      if (auto sink = sink_.lock()) sink->outerNext(value);
    }
    void onError(const Error& error) override {
      if (auto sink = sink_.lock()) sink->fail(error);
    }
    void onCompleted() override {
      if (auto sink = sink_.lock()) sink->outerCompleted();
    }

   private:
    std::weak_ptr<FlatMapSink> sink_;
  };

  class InnerObserver final : public Observer<U> {
   public:
    InnerObserver(std::weak_ptr<FlatMapSink> sink, std::uint64_t id)
        : sink_(std::move(sink)), id_(id) {}
    void onNext(const U& value) override {
      if (auto sink = sink_.lock()) sink->innerNext(value);
    }
    void onError(const Error& error) override {
      if (auto sink = sink_.lock()) sink->fail(error);
    }
    void onCompleted() override {
      if (auto sink = sink_.lock()) sink->innerCompleted(id_);
    }

   private:
    std::weak_ptr<FlatMapSink> sink_;
    std::uint64_t id_;
  };

  void outerNext(const T& value) {
    auto inner = makeInner_(value);
    std::uint64_t id = 0;
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      id = nextId_++;
      inners_.emplace(id, Disposable());  // placeholder: the inner may complete while subscribing
    }
    auto subscription =
        inner.subscribe(std::make_shared<InnerObserver>(this->weak_from_this(), id));
    std::lock_guard lock(mutex_);
    if (auto it = inners_.find(id); it != inners_.end()) it->second = std::move(subscription);
    // An inner that already completed keeps nothing; `subscription` ends after the lock.
  }

  void innerNext(const U& value) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
    }
    downstream_->onNext(value);
  }

  void innerCompleted(std::uint64_t id) {
    Disposable finished;
    bool complete = false;
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      if (auto it = inners_.find(id); it != inners_.end()) {
        finished = std::move(it->second);
        inners_.erase(it);
      }
      complete = outerDone_ && inners_.empty();
      if (complete) stopped_ = true;
    }
    if (complete) downstream_->onCompleted();
  }

  void outerCompleted() {
    bool complete = false;
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      outerDone_ = true;
      complete = inners_.empty();
      if (complete) stopped_ = true;
    }
    if (complete) downstream_->onCompleted();
  }

  void fail(const Error& error) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
    }
    dispose();
    downstream_->onError(error);
  }

  const ObserverPtr<U> downstream_;
  F makeInner_;
  ConfinableMutex mutex_{"FlatMapSink"};
  bool stopped_ = false;
  bool outerDone_ = false;
  std::uint64_t nextId_ = 0;
  Disposable outer_;
  std::unordered_map<std::uint64_t, Disposable> inners_;
};

template <class T, class U, class F>
class FlatMapProducer final : public Producer<U> {
 public:
  FlatMapProducer(Observable<T> source, F makeInner)
      : source_(std::move(source)), makeInner_(std::move(makeInner)) {}
  Disposable run(const ObserverPtr<U>& observer) const override {
    auto sink = std::make_shared<FlatMapSink<T, U, F>>(observer, makeInner_);
    sink->start(source_);
    return Disposable(std::move(sink));
  }

 private:
  Observable<T> source_;
  F makeInner_;
};

}  // namespace QVRAdKit::Rx::detail
