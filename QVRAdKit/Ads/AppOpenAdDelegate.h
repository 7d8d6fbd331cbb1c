#pragma once
// AppOpenAdDelegate is the host's listener of one app-open ad, held weakly by the ad.

namespace QVRAdKit {

class AppOpenAd;

class AppOpenAdDelegate {
 public:
  virtual ~AppOpenAdDelegate() = default;
  virtual void appOpenAdDidOpen(AppOpenAd& ad) = 0;
  // The ad closed and is now used.
  virtual void appOpenAdDidClose(AppOpenAd& ad) = 0;
  // The network could not show it. Not called when present() shows nothing on its own: no ad, an
  // expired one, or one the network says it cannot present now (the ad is then failed).
  virtual void appOpenAdDidFailToPresent(AppOpenAd& ad) = 0;
};

}  // namespace QVRAdKit
