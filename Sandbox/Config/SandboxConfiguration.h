#pragma once
// SandboxConfiguration is everything the sandbox host reads from its JSON configuration: the ads
// configuration handed to the ads service (networks, placements, keys, timeouts) and, under
// "simulation", how the simulated networks, the consent platform and the user behave. Every
// simulation field is optional and falls back to the simulators' own defaults; an ad-unit entry
// under simulation.adMob.adUnits overrides only the fields it names, on top of
// simulation.adMob.defaults. The seeds are not part of the file: the host sets them.
// parse() and load() refuse what SandboxConfigurationCheck finds wrong, with one line: the first
// problem with its place, e.g. "interstitial.connect.timeout: must not be negative, found -5",
// and how many more there are; SandboxConfigurationCheck lists them all, with the warnings.
// Example:
//   auto configuration = SandboxConfiguration::load("host.json");
//   if (!configuration) { std::cerr << configuration.error().localizedDescription; return 2; }
// Threading: a value; parse() and load() are pure functions of their input.

#include <cstdint>
#include <string>
#include <string_view>

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/Config/SandboxSessionProfile.h"
#include "Sandbox/Consent/SimulatedConsentPlatform.h"
#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"
#include "Sandbox/IronSource/SimulatedIronSource.h"

namespace QVRAdKit::Sandbox {

struct SandboxConfiguration {
  static constexpr std::string_view kErrorDomain = "QVRAdKit.Sandbox.Config";
  enum class ErrorCode : std::int64_t {
    unreadable = 1,
    invalidJson = 2,
    invalidConfiguration = 3,
    tooLarge = 4,  // beyond the size or nesting bound
  };

  AdsConfig ads{{}, {}, {}, {}};
  SimulatedGoogleMobileAds::Configuration googleMobileAds;
  SimulatedIronSource::Configuration ironSource;
  // Only the latencies come from the file; the region and the user's answer are the host's.
  SimulatedConsentPlatform::Options consent;
  SandboxSessionProfile session;

  // The configuration described by a JSON text.
  [[nodiscard]] static Platform::Expected<SandboxConfiguration> parse(std::string_view json);
  // The configuration in the JSON file at path.
  [[nodiscard]] static Platform::Expected<SandboxConfiguration> load(const std::string& path);
  // The embedded default configuration (kDefaultSandboxConfigurationJson).
  [[nodiscard]] static SandboxConfiguration defaults();
};

}  // namespace QVRAdKit::Sandbox
