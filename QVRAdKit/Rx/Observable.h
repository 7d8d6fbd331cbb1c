#pragma once
// Observable<T> is a cheap value handle on a stream of T: copying it copies a pointer. Subscribing
// returns a Disposable that ends the subscription when disposed or destroyed. Every value is
// delivered synchronously on the thread that emits it; there are no schedulers.
//
// Guarantees every subscription gets, whatever the source: no event after disposal (a subscription
// disposed from inside a callback receives nothing more), at most one terminal event, and the
// upstream is released once the stream has terminated.
// A subscription made on a confined thread (see ConfinableMutex) takes no lock and belongs to that
// thread.
//
// Example:
//   auto subscription = relay.asObservable().distinctUntilChanged().subscribe(
//       [weak = weak_from_this()](bool loading) { if (auto self = weak.lock())
//       self->update(loading); });

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/Rx/Error.h"
#include "QVRAdKit/Rx/Observer.h"
#include "QVRAdKit/Rx/detail/Producer.h"

namespace QVRAdKit::Rx {
namespace detail {

template <class T>
struct IsObservable : std::false_type {};
template <class T>
struct IsObservable<Observable<T>> : std::true_type {};

// What unwrap() turns an element into: optional<U> gives U; shared_ptr<U> passes non-null pointers.
template <class T>
struct Unwrapped;
template <class U>
struct Unwrapped<std::optional<U>> {
  using Type = U;
};
template <class U>
struct Unwrapped<std::shared_ptr<U>> {
  using Type = std::shared_ptr<U>;
};

}  // namespace detail

template <class T>
class Observable {
 public:
  using Element = T;

  explicit Observable(std::shared_ptr<const detail::Producer<T>> producer)
      : producer_(std::move(producer)) {}

  // Sources.
  // A stream whose subscription runs subscribe(observer); the returned Disposable is kept for
  // the life of the subscription.
  static Observable create(std::function<Disposable(const ObserverPtr<T>&)> subscribe);
  // Emits value once, then completes.
  static Observable just(T value);
  static Observable empty();
  static Observable never();
  static Observable error(Error error);

  // Subscribing.
  Disposable subscribe(ObserverPtr<T> observer, std::function<void()> onDisposed = {}) const;
  Disposable subscribe(std::function<void(const T&)> onNext,
                       std::function<void(const Error&)> onError = {},
                       std::function<void()> onCompleted = {},
                       std::function<void()> onDisposed = {}) const;
  // Feeds a relay: every value goes to the relay's acceptor(); a completion or an error leaves the
  // relay's value as it is. The binding holds the relay's state, not the relay, so the relay may
  // be destroyed while bound.
  template <class Target>
  Disposable bind(Target& target) const requires requires(Target& t, const T& v) {
    t.acceptor()(v);
  };
  // Feeds an observer: every value, then the completion or the error. The binding holds the
  // observer until it ends.
  Disposable bind(ObserverPtr<T> observer) const { return subscribe(std::move(observer)); }

  // Operators.
  template <class F>
  auto map(F transform) const -> Observable<std::decay_t<std::invoke_result_t<F&, const T&>>>;
  template <class P>
  Observable filter(P predicate) const;
  // Subscribes to the stream made from each value and merges what they all emit. Completes when
  // this stream and every inner stream have completed.
  template <class F>
  auto flatMap(F makeInner) const -> std::invoke_result_t<F&, const T&>;
  Observable distinctUntilChanged() const;
  Observable skip(std::size_t count) const;
  Observable take(std::size_t count) const;
  // On an error, emits fallback and completes instead.
  Observable catchAndReturn(T fallback) const;
  // Drops absent values and emits present ones unwrapped.
  template <class Self = T>
  auto unwrap() const -> Observable<typename detail::Unwrapped<Self>::Type>;
  Observable asObservable() const { return *this; }

  [[nodiscard]] const std::shared_ptr<const detail::Producer<T>>& producer() const {
    return producer_;
  }

 private:
  std::shared_ptr<const detail::Producer<T>> producer_;
};

}  // namespace QVRAdKit::Rx

#include "QVRAdKit/Rx/detail/Operators.h"  // IWYU pragma: export
