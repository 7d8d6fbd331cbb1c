#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"

#include "QVRAdKit/Host/MainQueueCheck.h"
#include "QVRAdKit/Platform/ModuleFileText.h"

namespace QVRAdKit {

// A load's answer changes the ad's flags, which live on the main queue: an SDK bridge that delivers
// it on another thread is named. (Openings and closes are checked by the ad.)

void ISRewardedVideoHandler::hasAvailableAdWithAdInfo(const ISAdInfo& adInfo) {
  checkMainQueue(QVR_FILE_TEXT, "LevelPlayRewardedVideoDelegate.hasAvailableAdWithAdInfo",
                 __LINE__);
  if (auto delegate = rewardedVideoDelegate()) {
    delegate->ironSourceDidLoadWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISRewardedVideoHandler::hasNoAvailableAd() {}

void ISRewardedVideoHandler::didReceiveRewardForPlacement(const ISPlacementInfo& placementInfo,
                                                          const ISAdInfo& /*adInfo*/) {
  if (auto delegate = rewardedVideoDelegate()) {
    const IronSourceVideoReward reward{placementInfo.rewardName, placementInfo.rewardAmount};
    delegate->ironSourceDidReceive(reward, placementInfo.placementName);
  }
}

void ISRewardedVideoHandler::didFailToShowWithError(const Platform::Error& error,
                                                    const ISAdInfo& adInfo) {
  if (auto delegate = rewardedVideoDelegate()) {
    delegate->ironSourceDidFailToShowWith(error, adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISRewardedVideoHandler::didOpenWithAdInfo(const ISAdInfo& adInfo) {
  if (auto delegate = rewardedVideoDelegate()) {
    delegate->ironSourceDidOpenWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISRewardedVideoHandler::didClick(const ISPlacementInfo& /*placementInfo*/,
                                      const ISAdInfo& /*adInfo*/) {
  if (auto delegate = rewardedVideoDelegate()) delegate->ironSourceDidClick();
}

void ISRewardedVideoHandler::didCloseWithAdInfo(const ISAdInfo& /*adInfo*/) {
  if (auto delegate = rewardedVideoDelegate()) delegate->ironSourceDidClose();
}

void ISRewardedVideoHandler::didLoadWithAdInfo(const ISAdInfo& adInfo) {
  checkMainQueue(QVR_FILE_TEXT, "LevelPlayRewardedVideoManualDelegate.didLoadWithAdInfo", __LINE__);
  if (auto delegate = rewardedVideoDelegate()) {
    delegate->ironSourceDidLoadWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISRewardedVideoHandler::didFailToLoadWithError(const Platform::Error& error) {
  checkMainQueue(QVR_FILE_TEXT, "LevelPlayRewardedVideoManualDelegate.didFailToLoadWithError",
                 __LINE__);
  if (auto delegate = rewardedVideoDelegate()) delegate->ironSourceDidFailToLoadWith(error);
}

}  // namespace QVRAdKit
