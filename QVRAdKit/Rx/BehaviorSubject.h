#pragma once
// BehaviorSubject holds a current value and pushes every new one to its subscribers. A new
// subscriber first receives the current value. Once completed (or failed) it emits nothing more,
// and a later subscriber receives only the completion (or the error), no value.
// Threading: any member from any thread; subscribers are called on the emitting thread.

#include "QVRAdKit/Rx/detail/BehaviorState.h"

namespace QVRAdKit::Rx {

template <class T>
class BehaviorSubject {
 public:
  explicit BehaviorSubject(T initial)
      : state_(std::make_shared<detail::BehaviorState<T>>(std::move(initial))) {}
  BehaviorSubject(const BehaviorSubject&) = delete;
  BehaviorSubject& operator=(const BehaviorSubject&) = delete;

  void onNext(T value) { state_->next(std::move(value)); }
  void onError(Error error) { state_->terminate(std::move(error)); }
  void onCompleted() { state_->terminate(std::nullopt); }

  // The latest value (also after completion).
  [[nodiscard]] T value() const { return state_->value(); }
  [[nodiscard]] Observable<T> asObservable() const { return Observable<T>(state_); }

 private:
  std::shared_ptr<detail::BehaviorState<T>> state_;
};

}  // namespace QVRAdKit::Rx
