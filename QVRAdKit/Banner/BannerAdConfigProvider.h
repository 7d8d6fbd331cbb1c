#pragma once
// BannerAdConfigProvider is the source of partner banner content that a banner subscribes to: a
// relay holding the current model (none while there is no banner to show), and a way to tell the
// source that the user acted on a banner. PartnerAdsProvider is the module's implementation.
// Example:
//   provider->model()->asObservable().subscribe([](const std::optional<BannerAdModel>& m) {...});
// Threading: main queue.

#include <memory>
#include <optional>

#include "QVRAdKit/Banner/BannerAdModel.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace QVRAdKit {

using BannerAdModelRelay = Rx::BehaviorRelay<std::optional<BannerAdModel>>;

class BannerAdConfigProvider {
 public:
  virtual ~BannerAdConfigProvider() = default;
  // The relay of the current model. A subscriber receives the current value at once and then
  // every later value. Never null, and the same relay for the provider's whole life: banners
  // subscribe once, when they are built. A value accepted on another thread reaches the banner
  // on the main queue.
  [[nodiscard]] virtual std::shared_ptr<BannerAdModelRelay> model() const = 0;
  // The user tapped the banner showing this model.
  virtual void markAsSeen(const BannerAdModel& model) = 0;
};

}  // namespace QVRAdKit
