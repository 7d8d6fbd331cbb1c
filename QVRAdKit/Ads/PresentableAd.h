#pragma once
// PresentableAd is anything the host can show full screen. Success and failure arrive only through
// the ad's delegate and its analytics events.

#include <memory>

#include "QVRAdKit/Platform/ViewController.h"

namespace QVRAdKit {

class PresentableAd {
 public:
  virtual ~PresentableAd() = default;
  virtual void present(const std::shared_ptr<Platform::ViewController>& rootViewController) = 0;
};

}  // namespace QVRAdKit
