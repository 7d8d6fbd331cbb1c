#include "QVRAdKit/Builders/AppOpenAdBuilder.h"

#include "QVRAdKit/Host/MainQueueCheck.h"

namespace QVRAdKit {

std::shared_ptr<AppOpenAdBuilder> AppOpenAdBuilder::create(
    Platform::Environment& environment, std::shared_ptr<UserServiceProtocol> userService,
    const std::shared_ptr<QVReporting>& reporting, std::vector<std::string> adKeys) {
  auto builder = std::make_shared<AppOpenAdBuilder>(ConstructionKey{}, environment,
                                                    std::move(userService), reporting);
  builder->storeKeys(std::move(adKeys));
  return builder;
}

AppOpenAdBuilder::AppOpenAdBuilder(ConstructionKey /*key*/, Platform::Environment& environment,
                                   std::shared_ptr<UserServiceProtocol> userService,
                                   const std::shared_ptr<QVReporting>& reporting)
    : WaterfallAdBuilder(environment, std::move(userService), reporting, AdEventAction::appOpen,
                         [environment = &environment](
                             const std::string& key, const std::shared_ptr<AdsReporter>& reporter) {
                           return AdmobAppOpenAd::create(*environment, key, reporter);
                         }) {}

std::shared_ptr<AppOpenAd> AppOpenAdBuilder::getAd() {
  QVR_CHECK_MAIN_QUEUE();
  if (userIsPremium("getAd()", __LINE__)) return nullptr;
  return waterfallService()->takeLoadedAd();
}

}  // namespace QVRAdKit
