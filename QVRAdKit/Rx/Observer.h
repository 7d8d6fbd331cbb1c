#pragma once
// Observer<T> receives the events of a stream: any number of values, then at most one completion
// or error. Streams call observers synchronously on the emitting thread.

#include <memory>

#include "QVRAdKit/Rx/Error.h"

namespace QVRAdKit::Rx {

template <class T>
class Observer {
 public:
  virtual ~Observer() = default;
  virtual void onNext(const T& value) = 0;
  virtual void onError(const Error& error) = 0;
  virtual void onCompleted() = 0;
};

template <class T>
using ObserverPtr = std::shared_ptr<Observer<T>>;

}  // namespace QVRAdKit::Rx
