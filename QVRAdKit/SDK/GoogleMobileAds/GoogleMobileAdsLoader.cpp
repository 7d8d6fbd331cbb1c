#include "QVRAdKit/SDK/GoogleMobileAds/GoogleMobileAdsLoader.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"

// The class loads of the three ad types: each forwards to the registered loader, or fails on the
// main queue when there is none.

namespace QVRAdKit {

namespace {

template <class Completion, class Forward>
void loadThroughEnvironment(Platform::Environment& environment, const char* what,
                            Completion completion, Forward&& forward) {
  if (auto loader = environment.service<GoogleMobileAdsLoader>()) {
    forward(*loader, std::move(completion));
    return;
  }
  if (!completion) return;
  environment.mainQueue().async([completion = std::move(completion), what] {
    completion(nullptr, GADError::notInstalled(what));
  });
}

}  // namespace

void GAMInterstitialAd::loadWithAdManagerAdUnitID(Platform::Environment& environment,
                                                  const std::string& adUnitID,
                                                  const GAMRequest& request,
                                                  LoadCompletion completion) {
  loadThroughEnvironment(environment, "GAMInterstitialAd.loadWithAdManagerAdUnitID",
                         std::move(completion),
                         [&](GoogleMobileAdsLoader& loader, LoadCompletion forwarded) {
                           loader.loadInterstitial(adUnitID, request, std::move(forwarded));
                         });
}

void GADAppOpenAd::loadWithAdUnitID(Platform::Environment& environment, const std::string& adUnitID,
                                    const GADRequest& request, LoadCompletion completion) {
  loadThroughEnvironment(environment, "GADAppOpenAd.loadWithAdUnitID", std::move(completion),
                         [&](GoogleMobileAdsLoader& loader, LoadCompletion forwarded) {
                           loader.loadAppOpen(adUnitID, request, std::move(forwarded));
                         });
}

void GADRewardedAd::loadWithAdUnitID(Platform::Environment& environment,
                                     const std::string& adUnitID, const GADRequest& request,
                                     LoadCompletion completion) {
  loadThroughEnvironment(environment, "GADRewardedAd.loadWithAdUnitID", std::move(completion),
                         [&](GoogleMobileAdsLoader& loader, LoadCompletion forwarded) {
                           loader.loadRewarded(adUnitID, request, std::move(forwarded));
                         });
}

}  // namespace QVRAdKit
