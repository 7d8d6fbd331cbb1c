#include "QVRAdKit/Ads/IronSource/ISRewardedVideoHandler.h"

namespace QVRAdKit {

void ISRewardedVideoHandler::hasAvailableAdWithAdInfo(const ISAdInfo& adInfo) {
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
  if (auto delegate = rewardedVideoDelegate()) {
    delegate->ironSourceDidLoadWith(adInfo.ad_unit, adInfo.ad_network);
  }
}

void ISRewardedVideoHandler::didFailToLoadWithError(const Platform::Error& error) {
  if (auto delegate = rewardedVideoDelegate()) delegate->ironSourceDidFailToLoadWith(error);
}

}  // namespace QVRAdKit
