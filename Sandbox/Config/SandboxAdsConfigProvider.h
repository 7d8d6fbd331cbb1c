#pragma once
// SandboxAdsConfigProvider hands the sandbox host's ads configuration to the ads service. Its
// configuration stream is a behaviour relay: a subscriber gets the current configuration at once,
// and setConfig() publishes a new one (which the ads service takes at its next start-up run).
// Example:
//   auto provider = std::make_shared<SandboxAdsConfigProvider>(configuration.ads);
//   dependencies.configProvider = provider;  // AdsService::Dependencies
//   auto ads = AdsService::create(std::move(dependencies));
// Threading: every member from any thread (the ads service subscribes from its background phase).

#include <string>

#include "QVRAdKit/Config/AdsConfigProvidable.h"
#include "QVRAdKit/Config/RxAdsConfigProvidable.h"
#include "QVRAdKit/Rx/BehaviorRelay.h"

namespace QVRAdKit::Sandbox {

class SandboxAdsConfigProvider final : public AdsConfigProvidable, public RxAdsConfigProvidable {
 public:
  static constexpr const char* kDefaultName = "sandbox";

  explicit SandboxAdsConfigProvider(AdsConfig config, std::string name = kDefaultName);

  // AdsConfigProvidable.
  [[nodiscard]] std::string configurationName() const override { return name_; }
  [[nodiscard]] const RxAdsConfigProvidable& rx() const override { return *this; }

  // RxAdsConfigProvidable.
  [[nodiscard]] Rx::Observable<AdsConfig> adsConfig() const override;

  [[nodiscard]] AdsConfig config() const { return relay_.value(); }
  void setConfig(AdsConfig config);

 private:
  const std::string name_;
  Rx::BehaviorRelay<AdsConfig> relay_;
};

}  // namespace QVRAdKit::Sandbox
