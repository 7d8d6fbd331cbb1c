#pragma once
// InterstitialAdBuilderProtocol is an interstitial builder that keeps keys per ad network and is
// asked for an ad of a given network. The module holds one only inside AdsLoader and only starts
// it; implementations come from the host.

#include <memory>

#include "QVRAdKit/Ads/InterstitialAd.h"
#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Rx/Observable.h"

namespace QVRAdKit {

class InterstitialAdBuilderProtocol {
 public:
  virtual ~InterstitialAdBuilderProtocol() = default;
  // A loaded ad of that network, or nullptr.
  virtual std::shared_ptr<InterstitialAd> getAd(AdSource source) = 0;
  // Begins loading and reacting to the user; a second call while running does nothing more.
  virtual void start() = 0;
  [[nodiscard]] virtual Rx::Observable<bool> adsLoadingStream() const = 0;
  [[nodiscard]] virtual bool running() const = 0;
};

}  // namespace QVRAdKit
