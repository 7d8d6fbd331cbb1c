#pragma once
// Shared state of BehaviorSubject and BehaviorRelay: the current value, the terminal event and the
// subscribers. Emission copies a snapshot of the subscriber list under the lock and calls the
// subscribers outside it, so a callback may subscribe, dispose, emit or destroy the subject.
// No lock is held while a subscriber runs. The price: a subscription made on one thread while
// another thread emits may receive the newer value before the current one. The module subscribes
// and emits each subject on one thread, except the configuration stream, of which it takes only
// the first value delivered.

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit::Rx::detail {

template <class T>
class BehaviorState final : public std::enable_shared_from_this<BehaviorState<T>> {
 public:
  explicit BehaviorState(T initial) : value_(std::move(initial)) {}

  T value() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  std::size_t subscriberCount() const {
    std::lock_guard lock(mutex_);
    return subscribers_ ? subscribers_->size() : 0;
  }

  void next(T value) {
    std::shared_ptr<const Subscribers> subscribers;
    {
      std::lock_guard lock(mutex_);
      if (terminated_) return;
      value_ = value;
      subscribers = subscribers_;
    }
    if (!subscribers) return;
    for (const auto& subscription : *subscribers) subscription->observer->onNext(value);
  }

  void terminate(std::optional<Error> error) {
    std::shared_ptr<const Subscribers> subscribers;
    {
      std::lock_guard lock(mutex_);
      if (terminated_) return;
      terminated_ = true;
      error_ = error;
      subscribers = std::exchange(subscribers_, nullptr);
    }
    if (!subscribers) return;
    for (const auto& subscription : *subscribers) {
      if (error) {
        subscription->observer->onError(*error);
      } else {
        subscription->observer->onCompleted();
      }
    }
  }

  Disposable subscribe(const ObserverPtr<T>& observer) {
    std::unique_lock lock(mutex_);
    if (terminated_) {
      auto error = error_;
      lock.unlock();
      if (error) {
        observer->onError(*error);
      } else {
        observer->onCompleted();
      }
      return {};
    }
    auto subscription = std::make_shared<Subscription>(this->weak_from_this(), observer);
    auto grown = std::make_shared<Subscribers>();
    grown->reserve((subscribers_ ? subscribers_->size() : 0) + 1);
    if (subscribers_) grown->assign(subscribers_->begin(), subscribers_->end());
    grown->push_back(subscription);
    subscribers_ = std::move(grown);
    T current = value_;
    lock.unlock();
    observer->onNext(current);
    return Disposable(std::move(subscription));
  }

 private:
  struct Subscription final : Cancelable {
    Subscription(std::weak_ptr<BehaviorState> state, ObserverPtr<T> observer)
        : state(std::move(state)), observer(std::move(observer)) {}
    void dispose() noexcept override {
      if (auto owner = state.lock()) owner->remove(this);
    }
    std::weak_ptr<BehaviorState> state;
    const ObserverPtr<T> observer;
  };
  using Subscribers = std::vector<std::shared_ptr<Subscription>>;

  void remove(const Subscription* subscription) {
    std::shared_ptr<const Subscribers> old;
    std::lock_guard lock(mutex_);
    if (!subscribers_) return;
    auto it = std::find_if(subscribers_->begin(), subscribers_->end(),
                           [&](const auto& entry) { return entry.get() == subscription; });
    if (it == subscribers_->end()) return;
    if (subscribers_->size() == 1) {
      old = std::exchange(subscribers_, nullptr);
      return;
    }
    auto shrunk = std::make_shared<Subscribers>();
    shrunk->reserve(subscribers_->size() - 1);
    for (const auto& entry : *subscribers_) {
      if (entry.get() != subscription) shrunk->push_back(entry);
    }
    old = std::exchange(subscribers_, std::move(shrunk));
  }

  mutable std::mutex mutex_;
  T value_;
  bool terminated_ = false;
  std::optional<Error> error_;
  std::shared_ptr<const Subscribers> subscribers_;
};

template <class T>
class BehaviorProducer final : public Producer<T> {
 public:
  explicit BehaviorProducer(std::shared_ptr<BehaviorState<T>> state) : state_(std::move(state)) {}
  Disposable run(const ObserverPtr<T>& observer) const override {
    return state_->subscribe(observer);
  }

 private:
  std::shared_ptr<BehaviorState<T>> state_;
};

}  // namespace QVRAdKit::Rx::detail
