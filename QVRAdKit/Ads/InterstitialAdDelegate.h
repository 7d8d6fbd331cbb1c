#pragma once
// InterstitialAdDelegate is the host's listener of one interstitial. The ad holds it weakly and
// skips every call once it is gone.

namespace QVRAdKit {

class InterstitialAd;

class InterstitialAdDelegate {
 public:
  virtual ~InterstitialAdDelegate() = default;
  virtual void interstitialAdDidOpen(InterstitialAd& ad) = 0;
  virtual void interstitialAdWillClose(InterstitialAd& ad) = 0;
  // The ad closed and is now used.
  virtual void interstitialAdDidClose(InterstitialAd& ad) = 0;
  // The load failed; the AdMob interstitial also reports a failed presentation here.
  virtual void interstitialAdDidFail(InterstitialAd& ad) = 0;
  // IronSource reported that showing the interstitial failed.
  virtual void interstitialAdDidFailToShow(InterstitialAd& ad) = 0;
};

}  // namespace QVRAdKit
