#include "QVRAdKit/Banner/BannerAdRouter.h"

#include <cassert>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

void BannerAdRouter::openRedirect(const std::optional<Platform::URL>& url) const {
  auto& environment = Platform::Environment::current();
  assert(environment.mainQueue().isCurrent() && "BannerAdRouter is used on the main queue only");
  if (!url) return;
  auto& application = environment.application();
  // Asked first so that an address the application refuses is dropped without an attempt.
  if (!application.canOpenURL(*url)) return;
  application.open(*url);
}

}  // namespace QVRAdKit
