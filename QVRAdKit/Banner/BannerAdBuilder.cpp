#include "QVRAdKit/Banner/BannerAdBuilder.h"

#include <utility>

#include "QVRAdKit/Banner/BannerAdInteractor.h"
#include "QVRAdKit/Banner/BannerAdRouter.h"
#include "QVRAdKit/ClientKit/HostViewKitLogger.h"
#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

BannerAdBuilder::BannerAdBuilder(Platform::Environment& environment,
                                 std::shared_ptr<BannerAdConfigProvider> configProvider,
                                 std::shared_ptr<BannerAppearanceProvider> appearanceProvider)
    : environment_(&environment),
      configProvider_(std::move(configProvider)),
      appearanceProvider_(std::move(appearanceProvider)) {}

// The host's edge: a host that names no environment builds in the installed one.
BannerAdBuilder::BannerAdBuilder(std::shared_ptr<BannerAdConfigProvider> configProvider,
                                 std::shared_ptr<BannerAppearanceProvider> appearanceProvider)
    : BannerAdBuilder(Platform::Environment::current(), std::move(configProvider),
                      std::move(appearanceProvider)) {}

std::shared_ptr<BannerAdViewImpl> BannerAdBuilder::buildBannerAd(
    const std::shared_ptr<BannerAdListener>& listener) const {
  QVR_CHECK_MAIN_QUEUE();
  // The banner's views report through the host's logger unless the host gave the kit its own.
  HostViewKitLogger::installIfMissing(*environment_);
  auto view = BannerAdViewImpl::create(*environment_);
  // Installs itself as the view's listener (the view owns it from here on), then delivers the
  // provider's current content to the view.
  const auto interactor = BannerAdInteractor::create(*environment_, configProvider_,
                                                     appearanceProvider_, view, listener);
  interactor->setRouter(std::make_shared<BannerAdRouter>(*environment_));
  return view;
}

}  // namespace QVRAdKit
