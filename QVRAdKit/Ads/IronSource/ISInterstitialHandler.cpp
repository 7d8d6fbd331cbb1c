#include "QVRAdKit/Ads/IronSource/ISInterstitialHandler.h"

namespace QVRAdKit {

// Each callback locks its delegate into a strong local for the whole call, and must: the ad
// notifies the host from inside, the host may drop its last reference to the ad there, and the ad
// still has work to finish (a close marks it used after telling the host).

void ISInterstitialHandler::didLoadWithAdInfo(const ISAdInfo& adInfo) {
  isLoading_ = false;
  if (auto delegate = interstitialDelegate()) {
    delegate->ironSourceDidLoadWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISInterstitialHandler::didFailToLoadWithError(const Platform::Error& error) {
  isLoading_ = false;
  isFailed_ = true;
  if (auto delegate = interstitialDelegate()) delegate->ironSourceDidFailToLoadWith(error);
}

void ISInterstitialHandler::didOpenWithAdInfo(const ISAdInfo& adInfo) {
  if (auto delegate = interstitialDelegate()) {
    delegate->ironSourceDidOpenWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISInterstitialHandler::didShowWithAdInfo(const ISAdInfo& adInfo) {
  if (auto delegate = interstitialDelegate())
    delegate->ironSourceDidShowAdNetwork(adInfo.ad_network);
}

void ISInterstitialHandler::didFailToShowWithError(const Platform::Error& error,
                                                   const ISAdInfo& adInfo) {
  if (auto delegate = interstitialDelegate()) {
    delegate->ironSourceDidFailToShowWith(error, adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISInterstitialHandler::didClickWithAdInfo(const ISAdInfo& /*adInfo*/) {
  if (auto delegate = interstitialDelegate()) delegate->ironSourceDidClick();
}

void ISInterstitialHandler::didCloseWithAdInfo(const ISAdInfo& adInfo) {
  if (auto delegate = interstitialDelegate()) delegate->ironSourceDidCloseWith(adInfo.ad_network);
  // Delivered synchronously: the bridge's reload starts before this callback returns, while the
  // closed ad is still the registered delegate.
  notificationCenter_->post(InterstitialShouldReloadNotificationName);
}

}  // namespace QVRAdKit
