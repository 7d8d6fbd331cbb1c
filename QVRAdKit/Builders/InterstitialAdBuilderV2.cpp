#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"

#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {
namespace {

auto interstitialCreator(Platform::Environment& environment, AdSource source) {
  return [environment = &environment, source](
             const std::string& key,
             const std::shared_ptr<AdsReporter>& reporter) -> std::shared_ptr<InterstitialAd> {
    if (source == AdSource::ironSource) {
      return IronSourceInterstitialAd::create(IronSourceHelper::sharedInstance(*environment), key,
                                              reporter);
    }
    return AdmobInterstitialAd::create(*environment, key, reporter);
  };
}

}  // namespace

std::shared_ptr<InterstitialAdBuilderV2> InterstitialAdBuilderV2::create(
    Platform::Environment& environment, std::shared_ptr<UserServiceProtocol> userService,
    const std::shared_ptr<QVReporting>& reporting, InterstitialAdPlacement placement,
    AdSource source) {
  return std::make_shared<InterstitialAdBuilderV2>(
      ConstructionKey{}, environment, std::move(userService), reporting, placement, source);
}

InterstitialAdBuilderV2::InterstitialAdBuilderV2(ConstructionKey /*key*/,
                                                 Platform::Environment& environment,
                                                 std::shared_ptr<UserServiceProtocol> userService,
                                                 const std::shared_ptr<QVReporting>& reporting,
                                                 InterstitialAdPlacement placement, AdSource source)
    : WaterfallAdBuilder(environment, std::move(userService), reporting, action(placement),
                         interstitialCreator(environment, source)),
      source_(source) {}

std::shared_ptr<InterstitialAd> InterstitialAdBuilderV2::getAd() {
  QVR_CHECK_MAIN_QUEUE();
  return waterfallService()->takeLoadedAd();
}

AdEventAction InterstitialAdBuilderV2::action(InterstitialAdPlacement placement) {
  switch (placement) {
    case InterstitialAdPlacement::connect:
      return AdEventAction::connect;
    case InterstitialAdPlacement::disconnect:
      return AdEventAction::disconnect;
    case InterstitialAdPlacement::appLaunch:
      return AdEventAction::appLaunch;
  }
  return AdEventAction::connect;
}

}  // namespace QVRAdKit
