#include "StandInGoogleMobileAds.h"

#include <functional>
#include <optional>
#include <utility>

#include "QVRAdKit/Platform/Decimal.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"

namespace ExampleHost {
namespace {

using namespace QVRAdKit;

constexpr const char* kNetworkClassName = "GADMAdapterGoogleAdMobAds";

// What both kinds of ad share: the response that filled them, the delegate (held weakly, as the
// SDK does) and a presentation played on the main queue's clock.
template <class Ad>
class StandInAd : public Ad, public std::enable_shared_from_this<StandInAd<Ad>> {
 public:
  explicit StandInAd(Platform::MainQueue& mainQueue) : mainQueue_(mainQueue) {}

  [[nodiscard]] const GADResponseInfo& responseInfo() const override { return responseInfo_; }
  [[nodiscard]] std::shared_ptr<GADFullScreenContentDelegate> fullScreenContentDelegate()
      const override {
    return delegate_.lock();
  }
  void setFullScreenContentDelegate(
      const std::weak_ptr<GADFullScreenContentDelegate>& delegate) override {
    delegate_ = delegate;
  }

 protected:
  // Opens, runs midway halfway through and is dismissed at the end. An ad is shown once; a second
  // presentation fails. While the ad is on screen the SDK owns it, so the steps hold it strongly.
  void play(std::function<void()> midway) {
    auto self = this->shared_from_this();
    if (std::exchange(presented_, true)) {
      mainQueue_.async([self] {
        if (auto delegate = self->delegate_.lock()) {
          delegate->adDidFailToPresentFullScreenContentWithError(
              *self, GADError::make(GADError::kAdAlreadyUsed, "The ad was shown already"));
        }
      });
      return;
    }
    mainQueue_.async(
        [self] { self->notify(&GADFullScreenContentDelegate::adWillPresentFullScreenContent); });
    mainQueue_.asyncAfter(StandInGoogleMobileAds::kShowDuration / 2, [midway = std::move(midway)] {
      if (midway) midway();
    });
    mainQueue_.asyncAfter(StandInGoogleMobileAds::kShowDuration, [self] {
      self->notify(&GADFullScreenContentDelegate::adWillDismissFullScreenContent);
      self->notify(&GADFullScreenContentDelegate::adDidDismissFullScreenContent);
    });
  }

 private:
  void notify(void (GADFullScreenContentDelegate::*callback)(GADFullScreenPresentingAd&)) {
    if (auto delegate = delegate_.lock()) ((*delegate).*callback)(*this);
  }

  Platform::MainQueue& mainQueue_;
  std::weak_ptr<GADFullScreenContentDelegate> delegate_;
  const GADResponseInfo responseInfo_{GADAdNetworkResponseInfo{kNetworkClassName}};
  bool presented_ = false;
};

class StandInInterstitial final : public StandInAd<GAMInterstitialAd> {
 public:
  using StandInAd::StandInAd;
  void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& /*rootViewController*/) override {
    play(nullptr);
  }
};

class StandInRewarded final : public StandInAd<GADRewardedAd> {
 public:
  using StandInAd::StandInAd;
  [[nodiscard]] GADAdReward adReward() const override {
    return {Platform::Decimal::fromInt(30), "minutes"};
  }
  void presentFromRootViewController(
      const std::shared_ptr<Platform::ViewController>& /*rootViewController*/,
      UserDidEarnRewardHandler userDidEarnRewardHandler) override {
    play(std::move(userDidEarnRewardHandler));
  }
};

}  // namespace

void StandInGoogleMobileAds::startWithCompletionHandler(StartCompletion completion) {
  // Called from the background executor; the answer belongs on the main queue.
  mainQueue_.async([completion = std::move(completion)] {
    GADInitializationStatus status;
    status.adapterStatesByClassName[kNetworkClassName] =
        GADInitializationStatus::AdapterState::ready;
    completion(status);
  });
}

void StandInGoogleMobileAds::loadInterstitial(const std::string& /*adUnitID*/,
                                              const GAMRequest& /*request*/,
                                              GAMInterstitialAd::LoadCompletion completion) {
  auto ad = std::make_shared<StandInInterstitial>(mainQueue_);
  mainQueue_.asyncAfter(kLoadLatency,
                        [ad, completion = std::move(completion)] { completion(ad, std::nullopt); });
}

void StandInGoogleMobileAds::loadAppOpen(const std::string& /*adUnitID*/,
                                         const GADRequest& /*request*/,
                                         GADAppOpenAd::LoadCompletion completion) {
  mainQueue_.async([completion = std::move(completion)] {
    completion(nullptr, GADError::make(GADError::kNoFill, "This stand-in has no app-open ads"));
  });
}

void StandInGoogleMobileAds::loadRewarded(const std::string& /*adUnitID*/,
                                          const GADRequest& /*request*/,
                                          GADRewardedAd::LoadCompletion completion) {
  auto ad = std::make_shared<StandInRewarded>(mainQueue_);
  mainQueue_.asyncAfter(kLoadLatency,
                        [ad, completion = std::move(completion)] { completion(ad, std::nullopt); });
}

}  // namespace ExampleHost
