#pragma once
// IronSourceInterstitialDelegate is the interstitial ad object currently listening to the SDK's
// one interstitial slot, as ISInterstitialHandler forwards to it. The handler holds it weakly.
// Threading: called on the main queue.

#include <string>

#include "QVRAdKit/Platform/Error.h"

namespace QVRAdKit {

class IronSourceInterstitialDelegate {
 public:
  virtual ~IronSourceInterstitialDelegate() = default;
  virtual void ironSourceDidLoadWith(const std::string& adUnit, const std::string& adNetwork) = 0;
  virtual void ironSourceDidFailToLoadWith(const Platform::Error& error) = 0;
  virtual void ironSourceDidClick() = 0;
  virtual void ironSourceDidCloseWith(const std::string& adNetwork) = 0;
  virtual void ironSourceDidFailToShowWith(const Platform::Error& error, const std::string& adUnit,
                                           const std::string& adNetwork) = 0;
  virtual void ironSourceDidOpenWith(const std::string& adUnit, const std::string& adNetwork) = 0;
  virtual void ironSourceDidShowAdNetwork(const std::string& adNetwork) = 0;
};

}  // namespace QVRAdKit
