#pragma once
// CustomSubscriber: a host conformance of the ads service; it asks nothing of the module.

namespace QVRAdKit {

class CustomSubscriber {
 public:
  virtual ~CustomSubscriber() = default;
};

}  // namespace QVRAdKit
