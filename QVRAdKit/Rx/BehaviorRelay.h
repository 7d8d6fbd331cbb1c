#pragma once
// BehaviorRelay holds a current value; accept(v) replaces it and pushes it to every subscriber,
// synchronously on the caller's thread. A relay never errors and never completes. A subscriber
// first receives the current value. Observable::bind(relay) feeds a relay from a stream.
// Threading: any member from any thread.

#include "QVRAdKit/Rx/detail/BehaviorState.h"

namespace QVRAdKit::Rx {

template <class T>
class BehaviorRelay {
 public:
  explicit BehaviorRelay(T initial)
      : state_(std::make_shared<detail::BehaviorState<T>>(std::move(initial))) {}
  BehaviorRelay(const BehaviorRelay&) = delete;
  BehaviorRelay& operator=(const BehaviorRelay&) = delete;

  void accept(T value) { state_->next(std::move(value)); }
  [[nodiscard]] T value() const { return state_->value(); }
  // How many subscriptions are live; lets an owner or a test see who still listens.
  [[nodiscard]] std::size_t subscriberCount() const { return state_->subscriberCount(); }
  [[nodiscard]] Observable<T> asObservable() const { return Observable<T>(state_); }
  // A callable that accepts into this relay's state; what bind() keeps.
  [[nodiscard]] detail::StateAcceptor<T> acceptor() const {
    return detail::StateAcceptor<T>(state_);
  }

 private:
  std::shared_ptr<detail::BehaviorState<T>> state_;
};

}  // namespace QVRAdKit::Rx
