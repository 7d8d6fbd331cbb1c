#pragma once
// AppOpenAd is an ad shown when the application opens: presentable, held by a waterfall, and
// listened to by a weakly held delegate.

#include <memory>

#include "QVRAdKit/Ads/AppOpenAdDelegate.h"
#include "QVRAdKit/Ads/PresentableAd.h"
#include "QVRAdKit/Ads/WaterfallableAd.h"

namespace QVRAdKit {

class AppOpenAd : public PresentableAd, public WaterfallableAd {
 public:
  [[nodiscard]] virtual std::shared_ptr<AppOpenAdDelegate> delegate() const = 0;
  virtual void setDelegate(const std::shared_ptr<AppOpenAdDelegate>& delegate) = 0;
};

}  // namespace QVRAdKit
