#pragma once
// DisposeBag owns subscriptions and ends them all when it is destroyed. Replacing a bag field with
// a fresh bag (`bag = DisposeBag()`) ends the old group at once, before the next value arrives.
// Threading: insert and dispose may be called from any thread (only from its own for a bag built
// on a confined thread: see ConfinableMutex); moving a bag is not synchronised with use of the
// same bag on another thread.

#include <mutex>
#include <vector>

#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "QVRAdKit/Rx/Disposable.h"

namespace QVRAdKit::Rx {

class DisposeBag {
 public:
  DisposeBag() = default;
  DisposeBag(DisposeBag&& other) noexcept;
  DisposeBag& operator=(DisposeBag&& other) noexcept;
  DisposeBag(const DisposeBag&) = delete;
  DisposeBag& operator=(const DisposeBag&) = delete;
  ~DisposeBag() { dispose(); }

  void insert(Disposable disposable);
  // Ends every subscription held so far; the bag stays usable.
  void dispose() noexcept;
  [[nodiscard]] std::size_t size() const;

 private:
  mutable ConfinableMutex mutex_{"DisposeBag"};
  std::vector<Disposable> disposables_;
};

inline void Disposable::disposed(DisposeBag& bag) && {
  bag.insert(std::move(*this));
}

}  // namespace QVRAdKit::Rx
