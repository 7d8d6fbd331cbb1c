#pragma once
// BlockUtilsProtocol: a host conformance of the ads service; it asks nothing of the module.

namespace QVRAdKit {

class BlockUtilsProtocol {
 public:
  virtual ~BlockUtilsProtocol() = default;
};

}  // namespace QVRAdKit
