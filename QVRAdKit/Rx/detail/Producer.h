#pragma once
// Producer<T>, the thing behind an Observable<T>, and Observable's declaration: what an operator's
// implementation needs of Observable.h without including it, since Observable.h includes the
// operators at its end.

#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/Rx/Observer.h"

namespace QVRAdKit::Rx {

template <class T>
class Observable;

namespace detail {

// Starts one subscription for the given observer.
template <class T>
class Producer {
 public:
  virtual ~Producer() = default;
  virtual Disposable run(const ObserverPtr<T>& observer) const = 0;
};

}  // namespace detail
}  // namespace QVRAdKit::Rx
