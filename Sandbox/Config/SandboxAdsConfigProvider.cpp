#include "Sandbox/Config/SandboxAdsConfigProvider.h"

#include <utility>

namespace QVRAdKit::Sandbox {

SandboxAdsConfigProvider::SandboxAdsConfigProvider(AdsConfig config, std::string name)
    : name_(std::move(name)), relay_(std::move(config)) {}

Rx::Observable<AdsConfig> SandboxAdsConfigProvider::adsConfig() const {
  return relay_.asObservable();
}

void SandboxAdsConfigProvider::setConfig(AdsConfig config) {
  relay_.accept(std::move(config));
}

}  // namespace QVRAdKit::Sandbox
