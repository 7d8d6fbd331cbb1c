#pragma once
// The outermost observer of every subscription. It enforces the stream grammar for the
// subscriber (nothing after disposal or termination) and owns the upstream subscription.

#include <atomic>
#include <functional>
#include <mutex>

#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/Rx/Disposable.h"
#include "QVRAdKit/Rx/Observer.h"

namespace QVRAdKit::Rx::detail {

template <class T>
class SubscriptionSink final : public Observer<T>, public Cancelable {
 public:
  SubscriptionSink(ObserverPtr<T> downstream, std::function<void()> onDisposed)
      : downstream_(std::move(downstream)), onDisposed_(std::move(onDisposed)) {}

  // Called once the upstream subscription exists. If the sink ended meanwhile (a synchronous
  // completion, or a dispose from inside the first callback) the upstream ends at once.
  void setUpstream(Disposable upstream) {
    std::unique_lock lock(mutex_);
    if (!disposed_) upstream_ = std::move(upstream);
    // Otherwise `upstream` is disposed when it goes out of scope, after the lock is released.
    lock.unlock();
  }

  void onNext(const T& value) override {
    if (!stopped_.load(std::memory_order_acquire)) downstream_->onNext(value);
  }
  void onError(const Error& error) override {
    if (stopped_.exchange(true, std::memory_order_acq_rel)) return;
    downstream_->onError(error);
    dispose();
  }
  void onCompleted() override {
    if (stopped_.exchange(true, std::memory_order_acq_rel)) return;
    downstream_->onCompleted();
    dispose();
  }

  void dispose() noexcept override {
    stopped_.store(true, std::memory_order_release);
    Disposable upstream;
    std::function<void()> onDisposed;
    {
      std::lock_guard lock(mutex_);
      if (disposed_) return;
      disposed_ = true;
      upstream = std::move(upstream_);
      onDisposed = std::move(onDisposed_);
    }
    upstream.dispose();
    if (onDisposed) onDisposed();
  }

 private:
  const ObserverPtr<T> downstream_;
  std::atomic<bool> stopped_{false};
  ConfinableMutex mutex_{"SubscriptionSink"};
  bool disposed_ = false;
  Disposable upstream_;
  std::function<void()> onDisposed_;
};

// Observer made of up to three callbacks, any of which may be empty.
template <class T>
class LambdaObserver final : public Observer<T> {
 public:
  LambdaObserver(std::function<void(const T&)> onNext, std::function<void(const Error&)> onError,
                 std::function<void()> onCompleted)
      : onNext_(std::move(onNext)),
        onError_(std::move(onError)),
        onCompleted_(std::move(onCompleted)) {}
  void onNext(const T& value) override {
    if (onNext_) onNext_(value);
  }
  void onError(const Error& error) override {
    if (onError_) onError_(error);
  }
  void onCompleted() override {
    if (onCompleted_) onCompleted_();
  }

 private:
  std::function<void(const T&)> onNext_;
  std::function<void(const Error&)> onError_;
  std::function<void()> onCompleted_;
};

}  // namespace QVRAdKit::Rx::detail
