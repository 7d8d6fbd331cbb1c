#pragma once
// ExperimentsProvider tells the host which experiments the user takes part in.
// Threading: called on the main queue.

#include <string>

namespace QVRAdKit {

class ExperimentsProvider {
 public:
  virtual ~ExperimentsProvider() = default;
  [[nodiscard]] virtual std::string experimentGroups() const = 0;
};

}  // namespace QVRAdKit
