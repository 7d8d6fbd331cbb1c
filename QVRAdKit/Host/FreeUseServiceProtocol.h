#pragma once
// FreeUseServiceProtocol: the host's free-use state.
// Threading: called on the main queue.

namespace QVRAdKit {

class FreeUseServiceProtocol {
 public:
  virtual ~FreeUseServiceProtocol() = default;
  // True while the user is in free use; free use shows no ads.
  [[nodiscard]] virtual bool isFreeUseActive() const = 0;
};

}  // namespace QVRAdKit
