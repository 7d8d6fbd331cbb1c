#pragma once
// combineLatest over a collection: emits the latest value of every input, in the collection's
// order, each time any input emits, once every input has emitted at least once. An input that
// completes without a value keeps it from ever emitting. It completes when every input has
// completed, and fails (ending the other inputs) when any input fails. An empty collection emits
// one empty array at once, then completes.
//
// The result is a CombineLatest<T>, an Observable of std::vector<T> whose map() is fused into the
// combination: `combineLatest(streams).map(f)` calls f with a const reference to the vector the
// combination keeps, so an emission neither copies the N values nor allocates. f runs while the
// combination holds its lock (every input may emit on its own thread): keep it a pure function of
// the values. Any other operator, or a map applied later, sees a fresh vector per emission.
// Example: combineLatest(loadingStreams).map(anyTrue).bind(isLoadingRelay)
// Threading: like every stream, values are delivered on the emitting thread.

#include <memory>
#include <type_traits>
#include <vector>

#include "QVRAdKit/Rx/Observable.h"
#include "QVRAdKit/Rx/detail/CombineLatestSink.h"

namespace QVRAdKit::Rx {

template <class T>
class CombineLatest final : public Observable<std::vector<T>> {
 public:
  explicit CombineLatest(std::vector<Observable<T>> sources)
      : Observable<std::vector<T>>(std::make_shared<Copying>(
            std::make_shared<const std::vector<Observable<T>>>(std::move(sources)),
            detail::CopyLatest())) {}

  // One output per combined emission: transform(latest values), computed without copying them.
  template <class F>
  auto map(F transform) const
      -> Observable<std::decay_t<std::invoke_result_t<F&, const std::vector<T>&>>> {
    using U = std::decay_t<std::invoke_result_t<F&, const std::vector<T>&>>;
    // The constructor is the only place the producer is set, so it is a Copying one.
    const auto& copying = static_cast<const Copying&>(*this->producer());
    return Observable<U>(std::make_shared<detail::CombineLatestProducer<T, F>>(
        copying.sources(), std::move(transform)));
  }

 private:
  using Copying = detail::CombineLatestProducer<T, detail::CopyLatest>;
};

template <class T>
CombineLatest<T> combineLatest(std::vector<Observable<T>> sources) {
  return CombineLatest<T>(std::move(sources));
}

}  // namespace QVRAdKit::Rx
