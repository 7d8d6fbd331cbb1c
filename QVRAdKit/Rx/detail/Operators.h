#pragma once
// Definitions of the Observable sources and single-input operators. Included by Observable.h.

#include <atomic>
#include <mutex>
#include <optional>

#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/Rx/Observable.h"
#include "QVRAdKit/Rx/detail/FlatMap.h"
#include "QVRAdKit/Rx/detail/SubscriptionSink.h"

namespace QVRAdKit::Rx {
namespace detail {

template <class T>
class CreateProducer final : public Producer<T> {
 public:
  explicit CreateProducer(std::function<Disposable(const ObserverPtr<T>&)> subscribe)
      : subscribe_(std::move(subscribe)) {}
  Disposable run(const ObserverPtr<T>& observer) const override { return subscribe_(observer); }

 private:
  std::function<Disposable(const ObserverPtr<T>&)> subscribe_;
};

template <class T>
class JustProducer final : public Producer<T> {
 public:
  explicit JustProducer(T value) : value_(std::move(value)) {}
  Disposable run(const ObserverPtr<T>& observer) const override {
    observer->onNext(value_);
    observer->onCompleted();
    return {};
  }

 private:
  T value_;
};

// Base of the operators that wrap one downstream observer.
template <class In, class Out>
class ForwardingObserver : public Observer<In> {
 public:
  explicit ForwardingObserver(ObserverPtr<Out> downstream) : downstream_(std::move(downstream)) {}
  void onError(const Error& error) override { downstream_->onError(error); }
  void onCompleted() override { downstream_->onCompleted(); }

 protected:
  const ObserverPtr<Out> downstream_;
};

// Producer of an operator whose per-subscription state lives in an observer of type Obs, built
// from the downstream observer and the operator's arguments.
template <class In, class Out, class Obs, class... Args>
class OperatorProducer final : public Producer<Out> {
 public:
  OperatorProducer(Observable<In> source, Args... args)
      : source_(std::move(source)), args_(std::move(args)...) {}
  Disposable run(const ObserverPtr<Out>& observer) const override {
    auto inner = std::apply(
        [&](const Args&... args) { return std::make_shared<Obs>(observer, args...); }, args_);
    return source_.producer()->run(inner);
  }

 private:
  Observable<In> source_;
  std::tuple<Args...> args_;
};

// Observer of bind(relay): hands every value to the relay's acceptor; an error or a completion
// leaves the relay's value as it is.
template <class T, class A>
class AcceptorObserver final : public Observer<T> {
 public:
  explicit AcceptorObserver(A acceptor) : acceptor_(std::move(acceptor)) {}
  void onNext(const T& value) override { acceptor_(value); }
  void onError(const Error& /*error*/) override {}
  void onCompleted() override {}

 private:
  A acceptor_;
};

template <class T, class U, class F>
class MapObserver final : public ForwardingObserver<T, U> {
 public:
  MapObserver(ObserverPtr<U> downstream, const F& transform)
      : ForwardingObserver<T, U>(std::move(downstream)), transform_(transform) {}
  void onNext(const T& value) override { this->downstream_->onNext(transform_(value)); }

 private:
  F transform_;
};

template <class T, class P>
class FilterObserver final : public ForwardingObserver<T, T> {
 public:
  FilterObserver(ObserverPtr<T> downstream, const P& predicate)
      : ForwardingObserver<T, T>(std::move(downstream)), predicate_(predicate) {}
  void onNext(const T& value) override {
    if (predicate_(value)) this->downstream_->onNext(value);
  }

 private:
  P predicate_;
};

template <class T>
class DistinctObserver final : public ForwardingObserver<T, T> {
 public:
  explicit DistinctObserver(ObserverPtr<T> downstream)
      : ForwardingObserver<T, T>(std::move(downstream)) {}
  void onNext(const T& value) override {
    {
      std::lock_guard lock(mutex_);
      if (last_ && *last_ == value) return;
      last_ = value;
    }
    this->downstream_->onNext(value);
  }

 private:
  ConfinableMutex mutex_{"DistinctObserver"};
  std::optional<T> last_;
};

template <class T>
class SkipObserver final : public ForwardingObserver<T, T> {
 public:
  SkipObserver(ObserverPtr<T> downstream, std::size_t count)
      : ForwardingObserver<T, T>(std::move(downstream)), remaining_(count) {}
  void onNext(const T& value) override {
    std::size_t remaining = remaining_.load(std::memory_order_relaxed);
    while (remaining > 0) {
      if (remaining_.compare_exchange_weak(remaining, remaining - 1)) return;
    }
    this->downstream_->onNext(value);
  }

 private:
  std::atomic<std::size_t> remaining_;
};

template <class T>
class TakeObserver final : public ForwardingObserver<T, T> {
 public:
  TakeObserver(ObserverPtr<T> downstream, std::size_t count)
      : ForwardingObserver<T, T>(std::move(downstream)), remaining_(count) {}
  void onNext(const T& value) override {
    std::size_t remaining = remaining_.load(std::memory_order_relaxed);
    do {
      if (remaining == 0) return;
    } while (!remaining_.compare_exchange_weak(remaining, remaining - 1));
    this->downstream_->onNext(value);
    if (remaining == 1) this->downstream_->onCompleted();
  }

 private:
  std::atomic<std::size_t> remaining_;
};

template <class T>
class TakeProducer final : public Producer<T> {
 public:
  TakeProducer(Observable<T> source, std::size_t count)
      : source_(std::move(source)), count_(count) {}
  Disposable run(const ObserverPtr<T>& observer) const override {
    if (count_ == 0) {
      observer->onCompleted();
      return {};
    }
    return source_.producer()->run(std::make_shared<TakeObserver<T>>(observer, count_));
  }

 private:
  Observable<T> source_;
  std::size_t count_;
};

template <class T>
class CatchObserver final : public ForwardingObserver<T, T> {
 public:
  CatchObserver(ObserverPtr<T> downstream, const T& fallback)
      : ForwardingObserver<T, T>(std::move(downstream)), fallback_(fallback) {}
  void onNext(const T& value) override { this->downstream_->onNext(value); }
  void onError(const Error& /*error*/) override {
    this->downstream_->onNext(fallback_);
    this->downstream_->onCompleted();
  }

 private:
  T fallback_;
};

template <class T>
class UnwrapObserver final : public ForwardingObserver<T, typename Unwrapped<T>::Type> {
 public:
  using U = typename Unwrapped<T>::Type;
  explicit UnwrapObserver(ObserverPtr<U> downstream)
      : ForwardingObserver<T, U>(std::move(downstream)) {}
  void onNext(const T& value) override {
    if (!value) return;
    if constexpr (std::is_same_v<T, U>) {
      this->downstream_->onNext(value);
    } else {
      this->downstream_->onNext(*value);
    }
  }
};

}  // namespace detail

template <class T>
Observable<T> Observable<T>::create(std::function<Disposable(const ObserverPtr<T>&)> subscribe) {
  return Observable(std::make_shared<detail::CreateProducer<T>>(std::move(subscribe)));
}

template <class T>
Observable<T> Observable<T>::just(T value) {
  return Observable(std::make_shared<detail::JustProducer<T>>(std::move(value)));
}

template <class T>
Observable<T> Observable<T>::empty() {
  return create([](const ObserverPtr<T>& observer) {
    observer->onCompleted();
    return Disposable();
  });
}

template <class T>
Observable<T> Observable<T>::never() {
  return create([](const ObserverPtr<T>&) { return Disposable(); });
}

template <class T>
Observable<T> Observable<T>::error(Error error) {
  return create([error](const ObserverPtr<T>& observer) {
    observer->onError(error);
    return Disposable();
  });
}

template <class T>
Disposable Observable<T>::subscribe(ObserverPtr<T> observer,
                                    std::function<void()> onDisposed) const {
  auto sink =
      std::make_shared<detail::SubscriptionSink<T>>(std::move(observer), std::move(onDisposed));
  sink->setUpstream(producer_->run(sink));
  return Disposable(std::move(sink));
}

template <class T>
Disposable Observable<T>::subscribe(std::function<void(const T&)> onNext,
                                    std::function<void(const Error&)> onError,
                                    std::function<void()> onCompleted,
                                    std::function<void()> onDisposed) const {
  return subscribe(std::make_shared<detail::LambdaObserver<T>>(
                       std::move(onNext), std::move(onError), std::move(onCompleted)),
                   std::move(onDisposed));
}

template <class T>
template <class Target>
Disposable Observable<T>::bind(Target& target) const requires requires(Target& t, const T& v) {
  t.acceptor()(v);
}
{
  using Acceptor = std::decay_t<decltype(target.acceptor())>;
  return subscribe(std::make_shared<detail::AcceptorObserver<T, Acceptor>>(target.acceptor()));
}

template <class T>
template <class F>
auto Observable<T>::map(F transform) const
    -> Observable<std::decay_t<std::invoke_result_t<F&, const T&>>> {
  using U = std::decay_t<std::invoke_result_t<F&, const T&>>;
  return Observable<U>(
      std::make_shared<detail::OperatorProducer<T, U, detail::MapObserver<T, U, F>, F>>(
          *this, std::move(transform)));
}

template <class T>
template <class P>
Observable<T> Observable<T>::filter(P predicate) const {
  return Observable(
      std::make_shared<detail::OperatorProducer<T, T, detail::FilterObserver<T, P>, P>>(
          *this, std::move(predicate)));
}

template <class T>
template <class F>
auto Observable<T>::flatMap(F makeInner) const -> std::invoke_result_t<F&, const T&> {
  using Inner = std::invoke_result_t<F&, const T&>;
  static_assert(detail::IsObservable<Inner>::value,
                "flatMap needs a function returning Observable");
  using U = typename Inner::Element;
  return Inner(std::make_shared<detail::FlatMapProducer<T, U, F>>(*this, std::move(makeInner)));
}

template <class T>
Observable<T> Observable<T>::distinctUntilChanged() const {
  return Observable(
      std::make_shared<detail::OperatorProducer<T, T, detail::DistinctObserver<T>>>(*this));
}

template <class T>
Observable<T> Observable<T>::skip(std::size_t count) const {
  return Observable(
      std::make_shared<detail::OperatorProducer<T, T, detail::SkipObserver<T>, std::size_t>>(
          *this, count));
}

template <class T>
Observable<T> Observable<T>::take(std::size_t count) const {
  return Observable(std::make_shared<detail::TakeProducer<T>>(*this, count));
}

template <class T>
Observable<T> Observable<T>::catchAndReturn(T fallback) const {
  return Observable(std::make_shared<detail::OperatorProducer<T, T, detail::CatchObserver<T>, T>>(
      *this, std::move(fallback)));
}

template <class T>
template <class Self>
auto Observable<T>::unwrap() const -> Observable<typename detail::Unwrapped<Self>::Type> {
  using U = typename detail::Unwrapped<Self>::Type;
  return Observable<U>(
      std::make_shared<detail::OperatorProducer<T, U, detail::UnwrapObserver<T>>>(*this));
}

}  // namespace QVRAdKit::Rx
