#pragma once
// AdsConfiguration hands the app's ads configuration to the ads service: which networks to start
// and which ad units serve each placement, in waterfall order. A phone app fills it from its
// remote configuration and publishes each new value; the service takes the current one at each
// start-up run.
// Threading: any thread (the service reads it from its background phase).

#include <string>
#include <utility>

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Config/AdsConfigProvidable.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace ExampleHost {

class AdsConfiguration final : public QVRAdKit::AdsConfigProvidable,
                               public QVRAdKit::RxAdsConfigProvidable {
 public:
  explicit AdsConfiguration(QVRAdKit::AdsConfig config) : relay_(std::move(config)) {}

  // This app's configuration: Google Mobile Ads only; a connect interstitial at most once a
  // minute and the time wall's rewarded video.
  [[nodiscard]] static QVRAdKit::AdsConfig adMobOnly() {
    using namespace QVRAdKit;
    return AdsConfig(
        {{AdSource::adMob, std::nullopt}},
        {{InterstitialAdPlacement::connect,
          AdPlacementConfig({"/1234/vpn/connect-a", "/1234/vpn/connect-b"}, AdSource::adMob, 60)}},
        {{RewardedAdPlacement::timewall, AdPlacementConfig::adMob({"/1234/vpn/timewall"})}}, {});
  }

  void publish(QVRAdKit::AdsConfig config) { relay_.accept(std::move(config)); }

  [[nodiscard]] std::string configurationName() const override { return "ads"; }
  [[nodiscard]] const QVRAdKit::RxAdsConfigProvidable& rx() const override { return *this; }
  [[nodiscard]] QVRAdKit::Rx::Observable<QVRAdKit::AdsConfig> adsConfig() const override {
    return relay_.asObservable();
  }

 private:
  QVRAdKit::Rx::BehaviorRelay<QVRAdKit::AdsConfig> relay_;
};

}  // namespace ExampleHost
