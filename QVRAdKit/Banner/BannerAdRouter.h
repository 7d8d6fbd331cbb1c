#pragma once
// BannerAdRouter opens a tapped banner's redirect address with the application, when the
// application says it can open it; an address it cannot open, or none, is dropped silently. The
// application is that of the environment the router was made for, which outlives it.
// Threading: main queue.

#include <optional>

#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class BannerAdRouter {
 public:
  explicit BannerAdRouter(Platform::Environment& environment) : environment_(&environment) {}

  void openRedirect(const std::optional<Platform::URL>& url) const;

 private:
  Platform::Environment* environment_;
};

}  // namespace QVRAdKit
