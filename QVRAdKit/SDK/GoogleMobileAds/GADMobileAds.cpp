#include "QVRAdKit/SDK/GoogleMobileAds/GADMobileAds.h"

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

std::shared_ptr<GADMobileAds> GADMobileAds::sharedInstance() {
  return Platform::Environment::current().service<GADMobileAds>();
}

}  // namespace QVRAdKit
