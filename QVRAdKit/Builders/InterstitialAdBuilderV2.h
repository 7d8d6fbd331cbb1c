#pragma once
// InterstitialAdBuilderV2 keeps interstitials ready for one interstitial placement over the
// placement's keys, all from the one network the placement names: every key becomes an
// IronSourceInterstitialAd for ironSource and an AdmobInterstitialAd for adMob. Premium users get
// their cache emptied; getAd() itself checks nothing (the ads service does).
// Example:
//   auto builder = InterstitialAdBuilderV2::create(environment, users, reporting,
//                                                  InterstitialAdPlacement::connect,
//                                                  AdSource::adMob);
//   builder->update({"unit-a", "unit-b"});
//   builder->start();
// Threading: main queue.

#include <memory>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Builders/InterstitialAdBuilderV2Protocol.h"
#include "QVRAdKit/Builders/WaterfallAdBuilder.h"
#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Config/InterstitialAdPlacement.h"

namespace QVRAdKit {

class InterstitialAdBuilderV2 final
    : public WaterfallAdBuilder<InterstitialAd, InterstitialAdBuilderV2Protocol> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // A builder without keys; nothing loads and nothing is subscribed until update() and start().
  static std::shared_ptr<InterstitialAdBuilderV2> create(
      Platform::Environment& environment, std::shared_ptr<UserServiceProtocol> userService,
      const std::shared_ptr<QVReporting>& reporting, InterstitialAdPlacement placement,
      AdSource source);

  InterstitialAdBuilderV2(ConstructionKey key, Platform::Environment& environment,
                          std::shared_ptr<UserServiceProtocol> userService,
                          const std::shared_ptr<QVReporting>& reporting,
                          InterstitialAdPlacement placement, AdSource source);

  std::shared_ptr<InterstitialAd> getAd() override;

  [[nodiscard]] AdSource source() const { return source_; }

  // The analytics action of an interstitial placement: connect, disconnect, appLaunch.
  static AdEventAction action(InterstitialAdPlacement placement);

 private:
  AdSource source_;
};

}  // namespace QVRAdKit
