#pragma once
// AppOpenAdBuilder keeps AdMob app-open ads ready for one app-open placement: the twin of the
// interstitial builder with the app-open action for every key, keys known from construction, and a
// getAd() that refuses premium users. An expired ad is neither loaded nor failed: it keeps its key
// occupied until the cache is reset (premium change, tablet rotation, reload, key update).
// Threading: main queue.

#include <memory>
#include <string>
#include <vector>

#include "QVRAdKit/Ads/AdMob/AdmobAppOpenAd.h"
#include "QVRAdKit/Builders/AppOpenAdBuilderProtocol.h"
#include "QVRAdKit/Builders/WaterfallAdBuilder.h"

namespace QVRAdKit {

class AppOpenAdBuilder final : public WaterfallAdBuilder<AdmobAppOpenAd, AppOpenAdBuilderProtocol> {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  // Stores the keys; the cache stays empty and nothing loads until update() and start().
  static std::shared_ptr<AppOpenAdBuilder> create(Platform::Environment& environment,
                                                  std::shared_ptr<UserServiceProtocol> userService,
                                                  const std::shared_ptr<QVReporting>& reporting,
                                                  std::vector<std::string> adKeys);

  AppOpenAdBuilder(ConstructionKey key, Platform::Environment& environment,
                   std::shared_ptr<UserServiceProtocol> userService,
                   const std::shared_ptr<QVReporting>& reporting);

  // None for a premium user, or when the premium state cannot be read (nothing is replaced or
  // loaded); otherwise the first fresh loaded ad.
  std::shared_ptr<AppOpenAd> getAd() override;
};

}  // namespace QVRAdKit
