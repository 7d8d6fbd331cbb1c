#pragma once
// BannerAdRouter opens a tapped banner's redirect address with the application, when the
// application says it can open it; an address it cannot open, or none, is dropped silently.
// Threading: main queue.

#include <optional>

#include "QVRAdKit/Platform/URL.h"

namespace QVRAdKit {

class BannerAdRouter {
 public:
  void openRedirect(const std::optional<Platform::URL>& url) const;
};

}  // namespace QVRAdKit
