#pragma once
// ISInitializationDelegate is told once the IronSource SDK has finished initialising after
// IronSource::initWithAppKey. The SDK holds it weakly.
// Threading: called on the main queue.

namespace QVRAdKit {

class ISInitializationDelegate {
 public:
  virtual ~ISInitializationDelegate() = default;
  virtual void initializationDidComplete() = 0;
};

}  // namespace QVRAdKit
