#include "QVRAdKit/Banner/BannerAdRouter.h"

#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

void BannerAdRouter::openRedirect(const std::optional<Platform::URL>& url) const {
  QVR_CHECK_MAIN_QUEUE();
  if (!url) return;
  auto& application = environment_->application();
  // Asked first so that an address the application refuses is dropped without an attempt.
  if (!application.canOpenURL(*url)) return;
  application.open(*url);
}

}  // namespace QVRAdKit
