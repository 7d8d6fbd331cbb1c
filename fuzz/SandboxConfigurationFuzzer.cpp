// Feeds arbitrary text to the sandbox host's configuration parser. Whatever the text, parsing ends
// in a configuration or in one error line of the parser's own domain, and an accepted
// configuration holds only values the simulators can run with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Sandbox/Config/SandboxConfiguration.h"

namespace {

using QVRAdKit::Sandbox::SandboxConfiguration;
using QVRAdKit::Sandbox::SimulatedGoogleMobileAds;

void require(bool condition) {
  if (!condition) std::abort();
}

void checkBehavior(const SimulatedGoogleMobileAds::AdUnitBehavior& behavior) {
  require(behavior.fillRate >= 0 && behavior.fillRate <= 1);
  require(behavior.latency.minimum >= 0 && behavior.latency.minimum <= behavior.latency.maximum);
  require(behavior.onScreenDuration >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = SandboxConfiguration::parse(text);
  if (!parsed) {
    const auto& error = parsed.error();
    require(error.domain == SandboxConfiguration::kErrorDomain);
    require(!error.localizedDescription.empty());
    require(error.localizedDescription.find('\n') == std::string::npos);
    return 0;
  }
  const auto& configuration = parsed.value();
  for (const auto& [placement, config] : configuration.ads.interstitialPlacements()) {
    require(config.timeout() >= 0);
  }
  for (const auto& [placement, config] : configuration.ads.appOpenPlacements()) {
    require(config.timeout() >= 0);
  }
  checkBehavior(configuration.googleMobileAds.defaults);
  for (const auto& [unit, behavior] : configuration.googleMobileAds.adUnits)
    checkBehavior(behavior);
  return 0;
}
