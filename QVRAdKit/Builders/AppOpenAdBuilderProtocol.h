#pragma once
// AppOpenAdBuilderProtocol is a builder that keeps app-open ads of one placement ready.

#include <memory>

#include "QVRAdKit/Ads/AppOpenAd.h"
#include "QVRAdKit/Builders/AdBuildable.h"

namespace QVRAdKit {

class AppOpenAdBuilderProtocol : public AdBuildable {
 public:
  // A fresh loaded ad for a non-premium user, or nullptr.
  virtual std::shared_ptr<AppOpenAd> getAd() = 0;
};

}  // namespace QVRAdKit
