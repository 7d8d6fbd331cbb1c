#pragma once
// LevelPlayInterstitialDelegate receives the IronSource SDK's callbacks for its single,
// process-wide interstitial slot: load results, then the life of a shown ad (opened, shown,
// clicked, closed, or failed to show). The SDK holds it weakly and drops callbacks once it is gone.
// Threading: called on the main queue.

#include "QVRAdKit/Platform/Error.h"
#include "QVRAdKit/SDK/IronSource/ISAdInfo.h"

namespace QVRAdKit {

class LevelPlayInterstitialDelegate {
 public:
  virtual ~LevelPlayInterstitialDelegate() = default;
  virtual void didLoadWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didFailToLoadWithError(const Platform::Error& error) = 0;
  virtual void didOpenWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didShowWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didFailToShowWithError(const Platform::Error& error, const ISAdInfo& adInfo) = 0;
  virtual void didClickWithAdInfo(const ISAdInfo& adInfo) = 0;
  virtual void didCloseWithAdInfo(const ISAdInfo& adInfo) = 0;
};

}  // namespace QVRAdKit
