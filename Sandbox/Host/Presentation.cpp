#include "Sandbox/Host/Presentation.h"

#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Ads/AdMob/AdmobInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceInterstitialAd.h"
#include "QVRAdKit/Ads/IronSource/IronSourceRewardedVideoAd.h"
#include "Sandbox/Host/SandboxSession.h"

namespace QVRAdKit::Sandbox {

std::string Presentation::describe(InterstitialAd& ad) {
  if (auto* admob = dynamic_cast<AdmobInterstitialAd*>(&ad)) {
    return "interstitial (adMob, unit " + admob->adUnitID() + ")";
  }
  if (auto* ironSource = dynamic_cast<IronSourceInterstitialAd*>(&ad)) {
    return "interstitial (ironSource, placement " + ironSource->adUnitID() + ")";
  }
  return "interstitial";
}

std::string Presentation::describe(AppOpenAd& ad) {
  if (auto* admob = dynamic_cast<AdmobAppOpenAd*>(&ad)) {
    return "app-open ad (adMob, unit " + admob->adUnitID() + ")";
  }
  return "app-open ad";
}

std::string Presentation::describe(RewardedVideoAd& ad) {
  if (dynamic_cast<IronSourceRewardedVideoAd*>(&ad) != nullptr) {
    return "rewarded video (ironSource)";
  }
  return "rewarded video (adMob, unit " + ad.adUnitID() + ")";
}

void Presentation::didOpen() {
  if (finished_ || hasOpened_) return;
  hasOpened_ = true;
  if (auto session = session_.lock()) {
    if (opened_) opened_(*session);
    if (session->narrating()) session->narrate(label_ + " opened");
  }
}

void Presentation::didClose() {
  if (finished_) return;
  finished_ = true;
  if (auto session = session_.lock()) {
    if (session->narrating()) session->narrate(label_ + " closed");
    session->adLeftScreen();
  }
}

void Presentation::didFail(const std::string& what) {
  if (finished_) return;
  finished_ = true;
  if (auto session = session_.lock()) {
    if (session->narrating()) session->narrate(label_ + " " + what);
    session->adLeftScreen();
  }
}

void RewardedPresentation::rewardedVideoAdDidEarnReward(RewardedVideoAd& ad) {
  if (finished()) return;
  if (auto session = this->session().lock()) {
    if (session->narrating()) {
      session->narrate(label() + " rewarded " + ad.getRewardValue().stringValue() + " " +
                       ad.getRewardType());
    }
    // After the narration: what the reward sets off (an ads pause) is told after it.
    if (rewarded_) rewarded_(*session);
  }
}

}  // namespace QVRAdKit::Sandbox
