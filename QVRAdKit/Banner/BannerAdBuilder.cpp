#include "QVRAdKit/Banner/BannerAdBuilder.h"

#include <utility>

#include "QVRAdKit/Banner/BannerAdInteractor.h"
#include "QVRAdKit/Banner/BannerAdRouter.h"
#include "QVRAdKit/ClientKit/HostViewKitLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

BannerAdBuilder::BannerAdBuilder(std::shared_ptr<BannerAdConfigProvider> configProvider,
                                 std::shared_ptr<BannerAppearanceProvider> appearanceProvider)
    : configProvider_(std::move(configProvider)),
      appearanceProvider_(std::move(appearanceProvider)) {}

std::shared_ptr<BannerAdViewImpl> BannerAdBuilder::buildBannerAd(
    const std::shared_ptr<BannerAdListener>& listener) const {
  QVR_CHECK_MAIN_QUEUE();
  // The banner's views report through the host's logger unless the host gave the kit its own.
  if (Platform::Environment* environment = Platform::Environment::installed()) {
    HostViewKitLogger::installIfMissing(*environment);
  }
  auto view = BannerAdViewImpl::create();
  // Installs itself as the view's listener (the view owns it from here on), then delivers the
  // provider's current content to the view.
  const auto interactor =
      BannerAdInteractor::create(configProvider_, appearanceProvider_, view, listener);
  interactor->setRouter(std::make_shared<BannerAdRouter>());
  return view;
}

}  // namespace QVRAdKit
