// Feeds arbitrary text to the sandbox host's configuration check. Whatever the text, the check ends
// with a configuration or with error lines (one line each), never both; an accepted configuration
// holds only values the ads module and the simulators can run with; and the one-line form of
// parse() agrees with the check.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "Sandbox/Config/SandboxConfigurationCheck.h"

namespace {

using QVRAdKit::AdPlacementConfig;
using QVRAdKit::AdSource;
using QVRAdKit::Sandbox::SandboxConfiguration;
using QVRAdKit::Sandbox::SandboxConfigurationCheck;
using QVRAdKit::Sandbox::SimulatedGoogleMobileAds;

void require(bool condition) {
  if (!condition) std::abort();
}

void checkLine(const std::string& line) {
  require(!line.empty());
  require(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
}

void checkBehavior(const SimulatedGoogleMobileAds::AdUnitBehavior& behavior) {
  require(behavior.fillRate >= 0 && behavior.fillRate <= 1);
  require(behavior.latency.minimum >= 0 && behavior.latency.minimum <= behavior.latency.maximum);
  require(std::isfinite(behavior.latency.maximum));
  require(behavior.onScreenDuration >= 0 && std::isfinite(behavior.onScreenDuration));
}

void checkPlacement(const SandboxConfiguration& configuration, const AdPlacementConfig& config) {
  require(config.timeout() >= 0 && std::isfinite(config.timeout()));
  require(configuration.ads.sources().contains(config.source()));
  const auto& keys = config.keys();
  require(keys.size() <= 100);
  require(std::set<std::string>(keys.begin(), keys.end()).size() == keys.size());
  require(std::none_of(keys.begin(), keys.end(), [](const auto& key) { return key.empty(); }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto check = SandboxConfigurationCheck::ofText(text);
  for (const auto& line : check.errors) checkLine(line);
  for (const auto& line : check.warnings) checkLine(line);
  require(check.configuration.has_value() == check.errors.empty());

  const auto parsed = SandboxConfiguration::parse(text);
  require(parsed.hasValue() == check.configuration.has_value());
  if (!parsed) {
    const auto& error = parsed.error();
    require(error.domain == SandboxConfiguration::kErrorDomain);
    require(error.code == static_cast<std::int64_t>(check.code));
    checkLine(error.localizedDescription);
    require(error.localizedDescription.starts_with(check.errors.front()));
    return 0;
  }
  const SandboxConfiguration& configuration = *check.configuration;
  for (const auto& [placement, config] : configuration.ads.interstitialPlacements()) {
    checkPlacement(configuration, config);
  }
  for (const auto& [placement, config] : configuration.ads.appOpenPlacements()) {
    checkPlacement(configuration, config);
    require(config.source() == AdSource::adMob);
  }
  for (const auto& [placement, config] : configuration.ads.rewardedPlacements()) {
    checkPlacement(configuration, config);
  }
  if (const auto found = configuration.ads.sources().find(AdSource::ironSource);
      found != configuration.ads.sources().end()) {
    require(found->second && !found->second->empty());
  }
  checkBehavior(configuration.googleMobileAds.defaults);
  for (const auto& [unit, behavior] : configuration.googleMobileAds.adUnits) {
    checkBehavior(behavior);
  }
  require(configuration.session.pauseAfterReward >= 0);
  return 0;
}
