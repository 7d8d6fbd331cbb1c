#include "QVRAdKit/Rx/DisposeBag.h"

namespace QVRAdKit::Rx {

DisposeBag::DisposeBag(DisposeBag&& other) noexcept {
  std::lock_guard lock(other.mutex_);
  disposables_ = std::move(other.disposables_);
}

DisposeBag& DisposeBag::operator=(DisposeBag&& other) noexcept {
  if (this == &other) return *this;
  std::vector<Disposable> incoming;
  {
    std::lock_guard lock(other.mutex_);
    incoming.swap(other.disposables_);
  }
  std::vector<Disposable> old;
  {
    std::lock_guard lock(mutex_);
    old.swap(disposables_);
    disposables_ = std::move(incoming);
  }
  // `old` ends its subscriptions here, outside the lock: a disposal may re-enter the bag.
  return *this;
}

void DisposeBag::insert(Disposable disposable) {
  std::lock_guard lock(mutex_);
  disposables_.push_back(std::move(disposable));
}

void DisposeBag::dispose() noexcept {
  std::vector<Disposable> old;
  {
    std::lock_guard lock(mutex_);
    old.swap(disposables_);
  }
}

std::size_t DisposeBag::size() const {
  std::lock_guard lock(mutex_);
  return disposables_.size();
}

}  // namespace QVRAdKit::Rx
