#pragma once
// ObservedValue<T> is a property that announces every assignment, the equivalent of a
// key-value-observable property. Pair it with weaklyObserveKeyPath to publish it as a stream that
// does not keep its owner alive. Its stream completes when the property is destroyed.
// Threading: any member from any thread.

#include "QVRAdKit/Rx/BehaviorSubject.h"

namespace QVRAdKit::Rx {

template <class T>
class ObservedValue {
 public:
  explicit ObservedValue(T initial = T()) : subject_(std::move(initial)) {}
  ObservedValue(const ObservedValue&) = delete;
  ObservedValue& operator=(const ObservedValue&) = delete;
  ~ObservedValue() { subject_.onCompleted(); }

  [[nodiscard]] T get() const { return subject_.value(); }
  // Stores value and tells every observer, also when it equals the previous one.
  void set(T value) { subject_.onNext(std::move(value)); }
  // The current value at once, then every assignment; completes when the property is destroyed.
  [[nodiscard]] Observable<T> observe() const { return subject_.asObservable(); }

 private:
  BehaviorSubject<T> subject_;
};

// The current value of owner's property and every later assignment, holding the owner weakly:
// subscribing to a stream whose owner is gone completes at once.
// Example: weaklyObserveKeyPath(weak_from_this(), &ConsentService::gdprConsentForm_)
template <class Owner, class T>
Observable<T> weaklyObserveKeyPath(std::weak_ptr<Owner> owner, ObservedValue<T> Owner::*keyPath) {
  return Observable<T>::create(
      [owner = std::move(owner), keyPath](const ObserverPtr<T>& observer) -> Disposable {
        auto strong = owner.lock();
        if (!strong) {
          observer->onCompleted();
          return {};
        }
        // The subscription keeps the property's subject state, never the owner.
        return ((*strong).*keyPath).observe().producer()->run(observer);
      });
}

}  // namespace QVRAdKit::Rx
