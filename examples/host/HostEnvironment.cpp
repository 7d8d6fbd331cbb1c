#include "HostEnvironment.h"

#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentFormLoader.h"
#include "QVRAdKit/SDK/UserMessagingPlatform/UMPConsentInformation.h"
#include "QVRAdKit/UI/ImageLoader.h"
#include "StandInConsentPlatform.h"
#include "StandInGoogleMobileAds.h"
#include "StandInImageLoader.h"
#include "StandInUnityAdsMetaData.h"

namespace ExampleHost {

using namespace QVRAdKit;

std::unique_ptr<Platform::Environment> makeHostEnvironment(
    const std::shared_ptr<CountingAnalytics>& analytics) {
  auto environment = Platform::Environment::makeSystem();
  auto& mainQueue = environment->mainQueue();
  environment->setService<QVLogger>(std::make_shared<StderrLogger>());
  environment->setService<UCRSink>(analytics);
  environment->setService<UI::ImageLoader>(std::make_shared<StandInImageLoader>(mainQueue));
  // One object answers both ports of each SDK, as a bridge to the real SDK would.
  auto googleMobileAds = std::make_shared<StandInGoogleMobileAds>(mainQueue);
  environment->setService<GADMobileAds>(googleMobileAds);
  environment->setService<GoogleMobileAdsLoader>(googleMobileAds);
  auto consentPlatform = std::make_shared<StandInConsentPlatform>(mainQueue);
  environment->setService<UMPConsentInformation>(consentPlatform);
  environment->setService<UMPConsentFormLoader>(consentPlatform);
  // The consent service hands the user's consent flag to Unity Ads through this store.
  environment->setService<UADSMetaDataStore>(std::make_shared<StandInUnityAdsMetaData>());
  return environment;
}

}  // namespace ExampleHost
