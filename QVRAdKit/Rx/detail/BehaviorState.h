#pragma once
// Shared state of BehaviorSubject and BehaviorRelay: the current value, the terminal event and the
// subscribers. The subscriber list is immutable once published: subscribe and dispose build a new
// one and swap it in, so an emission takes the lock only to store the value and note which list
// it walks, then calls the subscribers outside it. A callback may therefore subscribe, dispose,
// emit or destroy the subject.
//
// Walking a list without a reference count: the emission takes one of a few "emitting" slots
// under the lock and clears it with a plain store when done. A list replaced while any slot is
// taken is retired rather than freed, and retired lists are freed once no slot is taken. When the
// slots are all taken (deep re-entrancy), the emission falls back to holding a reference. So an
// emission on a subject used from one thread costs one uncontended atomic exchange and no
// reference counting. A subject destroyed inside its own emission hands its lists to that
// emission (EmissionFrame).
//
// The price of calling subscribers outside the lock: a subscription made on one thread while
// another thread emits may receive the newer value before the current one. The module subscribes
// and emits each subject on one thread, except the configuration stream, of which it takes only
// the first value delivered.

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "QVRAdKit/Rx/Observable.h"
#include "QVRAdKit/Rx/detail/EmissionFrame.h"
#include "QVRAdKit/Rx/detail/SpinLock.h"
#include "QVRAdKit/Rx/detail/SubscriberList.h"

namespace QVRAdKit::Rx::detail {

// The state is also the producer of the subject's stream: asObservable() shares it, without a
// producer object of its own.
template <class T>
class BehaviorState final : public Producer<T>,
                            public std::enable_shared_from_this<BehaviorState<T>> {
 public:
  explicit BehaviorState(T initial) : value_(std::move(initial)) {}
  BehaviorState(const BehaviorState&) = delete;
  BehaviorState& operator=(const BehaviorState&) = delete;
  ~BehaviorState() override {
    if (auto* frame = EmissionFrame::markDestroyed(this)) {
      frame->keepAlive(std::move(subscribers_));
      for (auto& list : retired_) frame->keepAlive(std::move(list));
    }
  }

  T value() const {
    std::lock_guard lock(lock_);
    return value_;
  }

  std::size_t subscriberCount() const {
    std::lock_guard lock(lock_);
    return subscribers_ ? subscribers_->size() : 0;
  }

  void next(T value) {
    const Subscribers* subscribers = nullptr;
    std::shared_ptr<const Subscribers> held;  // only when every slot is taken
    std::size_t slot = kSlots;
    {
      std::lock_guard lock(lock_);
      if (terminated_) return;
      value_ = value;
      if (!subscribers_) return;
      subscribers = subscribers_.get();
      slot = takeSlot();
      if (slot == kSlots) held = subscribers_;
    }
    EmissionFrame frame(this);
    for (const auto& subscription : *subscribers) subscription->observer->onNext(value);
    if (frame.emitterDestroyed()) return;
    if (slot == kSlots) return;
    emitting_[slot].store(false, std::memory_order_release);
    // A callback replaced the list meanwhile: free what no emission walks any more, so that a
    // subscriber disposed during this round is released when the round ends.
    if (hasRetired_.load(std::memory_order_relaxed)) freeRetired();
  }

  void terminate(std::optional<Error> error) {
    std::shared_ptr<const Subscribers> subscribers;
    {
      std::lock_guard lock(lock_);
      if (terminated_) return;
      terminated_ = true;
      error_ = error;
      subscribers = subscribers_;
      replace(nullptr);
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

  // A subscription changes the list, not what the stream is: the producer stays const.
  Disposable run(const ObserverPtr<T>& observer) const override {
    return const_cast<BehaviorState*>(this)->subscribe(observer);
  }

  Disposable subscribe(const ObserverPtr<T>& observer) {
    std::unique_lock lock(lock_);
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
    std::shared_ptr<const Subscribers> old;
    if (subscribers_ && ownsListAlone()) {
      subscribers_->append(subscription);
    } else {
      old = replace(Subscribers::adding(subscribers_.get(), subscription));
    }
    T current = value_;
    lock.unlock();
    old.reset();
    observer->onNext(current);
    return Disposable(std::move(subscription));
  }

 private:
  struct Subscription final : Cancelable {
    Subscription(std::weak_ptr<BehaviorState> owner, ObserverPtr<T> subscriber)
        : state(std::move(owner)), observer(std::move(subscriber)) {}
    void dispose() noexcept override {
      if (auto owner = state.lock()) owner->remove(this);
    }
    std::weak_ptr<BehaviorState> state;
    const ObserverPtr<T> observer;
  };
  using Subscribers = SubscriberList<Subscription>;
  static constexpr std::size_t kSlots = 4;

  void remove(const Subscription* subscription) {
    // Both released after the lock: their observers' destructors may come back to this subject.
    std::shared_ptr<const Subscribers> old;
    std::shared_ptr<Subscription> taken;
    std::lock_guard lock(lock_);
    if (!subscribers_ || !subscribers_->contains(subscription)) return;
    if (!ownsListAlone()) {
      old = replace(Subscribers::removing(*subscribers_, subscription));
      return;
    }
    taken = subscribers_->extract(subscription);
    if (subscribers_->size() == 0) old = std::exchange(subscribers_, nullptr);
  }

  // Under lock_: whether the published list may change in place. No emission walks it (they walk
  // lists without a reference while holding a slot) and no one else holds a reference to it (an
  // emission without a slot, or a termination, does).
  bool ownsListAlone() const { return subscribers_.use_count() == 1 && !anyEmitting(); }

  // Under lock_: publishes list and returns the old one when no emission may be walking it (the
  // caller frees it after unlocking); otherwise the old one is retired and null is returned.
  std::shared_ptr<const Subscribers> replace(std::shared_ptr<Subscribers> list) {
    auto old = std::exchange(subscribers_, std::move(list));
    if (old && anyEmitting()) {
      retired_.push_back(std::move(old));
      hasRetired_.store(true, std::memory_order_relaxed);
      return nullptr;
    }
    return old;
  }

  void freeRetired() {
    std::vector<std::shared_ptr<const Subscribers>> freed;  // freed after the lock is released
    std::lock_guard lock(lock_);
    if (anyEmitting()) return;  // the last emission to end frees them
    freed.swap(retired_);
    hasRetired_.store(false, std::memory_order_relaxed);
  }

  // Under lock_: slots are only taken under the lock and released by their emission alone.
  bool anyEmitting() const {
    return std::any_of(emitting_.begin(), emitting_.end(),
                       [](const auto& slot) { return slot.load(std::memory_order_acquire); });
  }
  std::size_t takeSlot() {
    for (std::size_t i = 0; i < kSlots; ++i) {
      if (!emitting_[i].load(std::memory_order_acquire)) {
        emitting_[i].store(true, std::memory_order_relaxed);
        return i;
      }
    }
    return kSlots;
  }

  mutable SpinLock lock_;
  T value_;
  bool terminated_ = false;
  std::optional<Error> error_;
  std::shared_ptr<Subscribers> subscribers_;
  std::vector<std::shared_ptr<const Subscribers>> retired_;
  std::array<std::atomic<bool>, kSlots> emitting_{};
  std::atomic<bool> hasRetired_{false};  // retired_ is not empty; read without the lock
};

// What BehaviorRelay::acceptor() gives: accepts into the state it holds. A plain callable rather
// than a std::function, so a stream bound to a relay reaches the state in one direct call.
template <class T>
class StateAcceptor {
 public:
  explicit StateAcceptor(std::shared_ptr<BehaviorState<T>> state) : state_(std::move(state)) {}
  void operator()(const T& value) const { state_->next(value); }

 private:
  std::shared_ptr<BehaviorState<T>> state_;
};

}  // namespace QVRAdKit::Rx::detail
