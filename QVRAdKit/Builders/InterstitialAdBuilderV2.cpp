#include "QVRAdKit/Builders/InterstitialAdBuilderV2.h"

#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {
namespace {

auto interstitialCreator(AdSource source) {
  return [source](const std::string& key,
                  const std::shared_ptr<AdsReporter>& reporter) -> std::shared_ptr<InterstitialAd> {
    if (source == AdSource::ironSource) return IronSourceInterstitialAd::create(key, reporter);
    return AdmobInterstitialAd::create(key, reporter);
  };
}

}  // namespace

std::shared_ptr<InterstitialAdBuilderV2> InterstitialAdBuilderV2::create(
    std::shared_ptr<UserServiceProtocol> userService, const std::shared_ptr<QVReporting>& reporting,
    InterstitialAdPlacement placement, AdSource source) {
  return std::make_shared<InterstitialAdBuilderV2>(ConstructionKey{}, std::move(userService),
                                                   reporting, placement, source);
}

InterstitialAdBuilderV2::InterstitialAdBuilderV2(ConstructionKey /*key*/,
                                                 std::shared_ptr<UserServiceProtocol> userService,
                                                 const std::shared_ptr<QVReporting>& reporting,
                                                 InterstitialAdPlacement placement, AdSource source)
    : WaterfallAdBuilder(std::move(userService), reporting, action(placement),
                         interstitialCreator(source)),
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
