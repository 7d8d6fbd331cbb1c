// GoogleMobileAdsSandbox's presentation side: what a filled ad may do on screen, and the
// full-screen callbacks the driver (a test or the simulated network) plays through the ad's
// delegate.

#include <utility>

#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"

namespace QVRAdKit::Sandbox {

// Ads.

std::shared_ptr<GADFullScreenPresentingAd> GoogleMobileAdsSandbox::ad(RequestID id) const {
  const Entry* entry = find(id);
  return entry ? entry->ad.lock() : nullptr;
}

void GoogleMobileAdsSandbox::setCanPresent(RequestID id, bool canPresent,
                                           std::optional<Platform::Error> error) {
  if (Entry* entry = find(id)) {
    entry->canPresent = canPresent;
    entry->canPresentError = std::move(error);
  }
}

std::size_t GoogleMobileAdsSandbox::presentCount(RequestID id) const {
  const Entry* entry = find(id);
  return entry ? entry->presentCount : 0;
}

std::shared_ptr<Platform::ViewController> GoogleMobileAdsSandbox::presentedFrom(
    RequestID id) const {
  const Entry* entry = find(id);
  return entry ? entry->presentedFrom : nullptr;
}

bool GoogleMobileAdsSandbox::isOnScreen(RequestID id) const {
  const Entry* entry = find(id);
  return entry && entry->onScreen;
}

void GoogleMobileAdsSandbox::adWasPresented(RequestID id,
                                            const std::shared_ptr<Platform::ViewController>& from,
                                            GADRewardedAd::UserDidEarnRewardHandler earnReward) {
  Entry* entry = find(id);
  if (!entry) return;
  ++entry->presentCount;
  entry->presentedFrom = from;
  entry->earnReward = std::move(earnReward);
  entry->onScreen = entry->ad.lock();
  if (auto driver = driver_.lock()) driver->didPresent(id);
}

bool GoogleMobileAdsSandbox::canPresent(RequestID id, std::optional<Platform::Error>* error) const {
  const Entry* entry = find(id);
  if (entry && entry->canPresent) return true;
  if (error) {
    *error = entry && entry->canPresentError
                 ? *entry->canPresentError
                 : GADError::make(GADError::kInternalError, "The ad can not be presented now");
  }
  return false;
}

GADAdReward GoogleMobileAdsSandbox::reward(RequestID id) const {
  const Entry* entry = find(id);
  return entry ? entry->reward : GADAdReward{};
}

// Presentation callbacks.

template <class F>
bool GoogleMobileAdsSandbox::notify(RequestID id, F&& f) {
  const Entry* entry = find(id);
  if (!entry) return false;
  // Held for the call: the delegate may drop its reference to the ad.
  const std::shared_ptr<GADFullScreenPresentingAd> ad = entry->ad.lock();
  if (!ad) return false;
  const std::shared_ptr<GADFullScreenContentDelegate> delegate = ad->fullScreenContentDelegate();
  if (!delegate) return false;
  f(*delegate, *ad);
  return true;
}

bool GoogleMobileAdsSandbox::willPresent(RequestID id) {
  return notify(id, [](GADFullScreenContentDelegate& delegate, GADFullScreenPresentingAd& ad) {
    delegate.adWillPresentFullScreenContent(ad);
  });
}

bool GoogleMobileAdsSandbox::willDismiss(RequestID id) {
  return notify(id, [](GADFullScreenContentDelegate& delegate, GADFullScreenPresentingAd& ad) {
    delegate.adWillDismissFullScreenContent(ad);
  });
}

bool GoogleMobileAdsSandbox::click(RequestID id) {
  return notify(id, [](GADFullScreenContentDelegate& delegate, GADFullScreenPresentingAd& ad) {
    delegate.adDidRecordClick(ad);
  });
}

bool GoogleMobileAdsSandbox::endPresentation(RequestID id) {
  Entry* entry = find(id);
  if (!entry) return false;
  entry->earnReward = nullptr;
  entry->onScreen = nullptr;
  return true;
}

bool GoogleMobileAdsSandbox::dismiss(RequestID id) {
  // The ad stays alive through the callback even when the presentation held the last reference.
  const std::shared_ptr<GADFullScreenPresentingAd> keepAlive = ad(id);
  if (!endPresentation(id)) return false;
  return notify(id, [](GADFullScreenContentDelegate& delegate, GADFullScreenPresentingAd& ad) {
    delegate.adDidDismissFullScreenContent(ad);
  });
}

bool GoogleMobileAdsSandbox::failToPresent(RequestID id, Platform::Error error) {
  const std::shared_ptr<GADFullScreenPresentingAd> keepAlive = ad(id);
  if (!endPresentation(id)) return false;
  return notify(id, [&](GADFullScreenContentDelegate& delegate, GADFullScreenPresentingAd& ad) {
    delegate.adDidFailToPresentFullScreenContentWithError(ad, error);
  });
}

bool GoogleMobileAdsSandbox::earnReward(RequestID id) {
  const Entry* entry = find(id);
  if (!entry || !entry->earnReward) return false;
  const GADRewardedAd::UserDidEarnRewardHandler handler = entry->earnReward;
  handler();
  return true;
}

// Simulated face.

}  // namespace QVRAdKit::Sandbox
