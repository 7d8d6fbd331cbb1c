#include "QVRAdKit/Ads/IronSource/ISInterstitialHandler.h"

#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/ModuleFileText.h"

namespace QVRAdKit {

// Each callback locks its delegate into a strong local for the whole call, and must: the ad
// notifies the host from inside, the host may drop its last reference to the ad there, and the ad
// still has work to finish (a close marks it used after telling the host).
// A load's answer changes the shared slot's flags, which live on the main queue: an SDK bridge that
// delivers it on another thread is named. (Openings and closes are checked by the ad.)

void ISInterstitialHandler::didLoadWithAdInfo(const ISAdInfo& adInfo) {
  checkMainQueue(QVR_FILE_TEXT, "LevelPlayInterstitialDelegate.didLoadWithAdInfo", __LINE__);
  isLoading_ = false;
  if (auto delegate = interstitialDelegate()) {
    delegate->ironSourceDidLoadWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISInterstitialHandler::didFailToLoadWithError(const Platform::Error& error) {
  checkMainQueue(QVR_FILE_TEXT, "LevelPlayInterstitialDelegate.didFailToLoadWithError", __LINE__);
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
