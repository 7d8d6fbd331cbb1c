#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

std::shared_ptr<GADMobileAds> GADMobileAds::sharedInstance(
    const Platform::Environment& environment) {
  return environment.service<GADMobileAds>();
}

}  // namespace QVRAdKit
