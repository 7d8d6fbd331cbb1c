#pragma once
// Disposable is the handle of one subscription: disposing it, or destroying it, ends the
// subscription. It is move-only and must not be dropped unnoticed ([[nodiscard]]): keep it in a
// field or a DisposeBag for as long as the subscription should live.
// Example: auto subscription = relay.asObservable().subscribe([](bool v) { use(v); });

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "QVRAdKit/Rx/ConfinableMutex.h"

namespace QVRAdKit::Rx {

class DisposeBag;

namespace detail {
// Anything that a Disposable can end. dispose() may run more than once and from any thread.
class Cancelable {
 public:
  virtual ~Cancelable() = default;
  virtual void dispose() noexcept = 0;
};
}  // namespace detail

class [[nodiscard]] Disposable {
 public:
  Disposable() noexcept = default;
  explicit Disposable(std::shared_ptr<detail::Cancelable> cancelable) noexcept
      : cancelable_(std::move(cancelable)) {}
  Disposable(Disposable&& other) noexcept : cancelable_(std::move(other.cancelable_)) {}
  Disposable& operator=(Disposable&& other) noexcept {
    if (this != &other) {
      dispose();
      cancelable_ = std::move(other.cancelable_);
    }
    return *this;
  }
  Disposable(const Disposable&) = delete;
  Disposable& operator=(const Disposable&) = delete;
  ~Disposable() { dispose(); }

  // A disposable that runs action once, when disposed.
  static Disposable create(std::function<void()> action);

  void dispose() noexcept {
    if (auto cancelable = std::exchange(cancelable_, nullptr)) cancelable->dispose();
  }
  // Hands the subscription to bag, which ends it when the bag is destroyed or replaced.
  void disposed(DisposeBag& bag) &&;

 private:
  std::shared_ptr<detail::Cancelable> cancelable_;
};

namespace detail {
class ActionCancelable final : public Cancelable {
 public:
  explicit ActionCancelable(std::function<void()> action) : action_(std::move(action)) {}
  void dispose() noexcept override {
    std::function<void()> action;
    {
      std::lock_guard lock(mutex_);
      action = std::exchange(action_, nullptr);
    }
    if (action) action();
  }

 private:
  ConfinableMutex mutex_{"Disposable"};
  std::function<void()> action_;
};
}  // namespace detail

inline Disposable Disposable::create(std::function<void()> action) {
  return Disposable(std::make_shared<detail::ActionCancelable>(std::move(action)));
}

}  // namespace QVRAdKit::Rx
