#pragma once
// MainQueueTask is the callable a main-queue task holds: move-only, and kept inline when its
// captures fit kInlineSize bytes (a weak pointer, a few values, a callback), so that posting the
// usual task allocates nothing. Larger or throwing-move callables live on the heap. Any callable
// without arguments converts to it; an empty std::function or a null function pointer gives an
// empty task, which the queue ignores, as it ignored an empty std::function.
// Example: MainQueueTask task = [weak] { if (auto self = weak.lock()) self->reload(); };
// Threading: a value; one thread at a time.

#include <cstddef>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

namespace QVRAdKit::Platform {

namespace detail {
template <class T>
inline constexpr bool isStdFunction = false;
template <class R, class... Args>
inline constexpr bool isStdFunction<std::function<R(Args...)>> = true;
}  // namespace detail

class MainQueueTask {
 public:
  static constexpr std::size_t kInlineSize = 56;

  MainQueueTask() noexcept = default;

  template <class F, class Callable = std::decay_t<F>,
            std::enable_if_t<!std::is_same_v<Callable, MainQueueTask> &&
                                 std::is_invocable_r_v<void, Callable&>,
                             int> = 0>
  // NOLINTNEXTLINE(google-explicit-constructor,bugprone-forwarding-reference-overload)
  MainQueueTask(F&& callable) {
    if constexpr (std::is_pointer_v<Callable> || std::is_member_pointer_v<Callable> ||
                  detail::isStdFunction<Callable>) {
      if (!callable) return;
    }
    if constexpr (fitsInline<Callable>) {
      ::new (static_cast<void*>(storage_)) Callable(std::forward<F>(callable));
      ops_ = &kInlineOps<Callable>;
    } else {
      ::new (static_cast<void*>(storage_)) Callable*(new Callable(std::forward<F>(callable)));
      ops_ = &kHeapOps<Callable>;
    }
  }

  MainQueueTask(MainQueueTask&& other) noexcept { takeFrom(other); }
  MainQueueTask& operator=(MainQueueTask&& other) noexcept {
    if (this != &other) {
      reset();
      takeFrom(other);
    }
    return *this;
  }
  MainQueueTask(const MainQueueTask&) = delete;
  MainQueueTask& operator=(const MainQueueTask&) = delete;
  ~MainQueueTask() { reset(); }

  explicit operator bool() const noexcept { return ops_ != nullptr; }
  void operator()() { ops_->invoke(storage_); }

  // Destroys the callable (its captures may post again: the task is already empty then).
  void reset() noexcept {
    if (const Ops* ops = std::exchange(ops_, nullptr)) ops->destroy(storage_);
  }

 private:
  struct Ops {
    void (*invoke)(void* storage);
    // Moves the callable from one storage into another, leaving the first without one.
    void (*relocate)(void* from, void* to) noexcept;
    void (*destroy)(void* storage) noexcept;
  };

  template <class Callable>
  static constexpr bool fitsInline = sizeof(Callable) <= kInlineSize &&
                                     alignof(Callable) <= alignof(std::max_align_t) &&
                                     std::is_nothrow_move_constructible_v<Callable>;

  template <class Callable>
  static constexpr Ops kInlineOps{
      [](void* storage) { (*std::launder(static_cast<Callable*>(storage)))(); },
      [](void* from, void* to) noexcept {
        Callable* source = std::launder(static_cast<Callable*>(from));
        ::new (to) Callable(std::move(*source));
        source->~Callable();
      },
      [](void* storage) noexcept { std::launder(static_cast<Callable*>(storage))->~Callable(); },
  };

  template <class Callable>
  static constexpr Ops kHeapOps{
      [](void* storage) { (**std::launder(static_cast<Callable**>(storage)))(); },
      [](void* from, void* to) noexcept {
        ::new (to) Callable*(*std::launder(static_cast<Callable**>(from)));
      },
      [](void* storage) noexcept { delete *std::launder(static_cast<Callable**>(storage)); },
  };

  void takeFrom(MainQueueTask& other) noexcept {
    if (other.ops_ == nullptr) return;
    other.ops_->relocate(other.storage_, storage_);
    ops_ = std::exchange(other.ops_, nullptr);
  }

  alignas(std::max_align_t) unsigned char storage_[kInlineSize];
  const Ops* ops_ = nullptr;
};

}  // namespace QVRAdKit::Platform
