#pragma once
// SimulatedGoogleMobileAds is the Google Mobile Ads stand-in the sandbox host runs on: it drives a
// GoogleMobileAdsSandbox so that ads behave like a live network. Per ad-unit key it fills a
// request with the configured probability after a drawn latency (with a drawn network class name),
// or fails it with a drawn error code; a presented ad opens at once, stays on screen for the
// configured duration and then closes itself (a rewarded ad earns its reward first). Presenting an
// ad a second time fails with "already used". Everything is scheduled on the environment's main
// queue at clock times, and every draw comes from one Mersenne Twister (the sequence of
// std::mt19937_64) seeded from the configuration, in request order: the same seed and the same
// requests give the same outcomes.
// Example:
//   SimulatedGoogleMobileAds::Configuration configuration;
//   configuration.seed = 42;
//   configuration.adUnits["/1234/connect"].fillRate = 0.5;
//   SimulatedGoogleMobileAds::install(*environment, configuration);
// Threading: main queue (the start it configures may be asked for from any thread). Must not
// outlive its environment.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/Platform/MersenneTwister64.h"
#include "QVRAdKit/Platform/TextEqual.h"
#include "QVRAdKit/Platform/TextHash.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADAdReward.h"
#include "QVRAdKit/SDK/GoogleMobileAds/GADError.h"
#include "Sandbox/GoogleMobileAds/GoogleMobileAdsSandbox.h"

namespace QVRAdKit::Sandbox {

class SimulatedGoogleMobileAds final
    : public GoogleMobileAdsSandbox::Driver,
      public std::enable_shared_from_this<SimulatedGoogleMobileAds> {
 public:
  // How long a request waits for its answer, in seconds.
  struct Latency {
    enum class Distribution { uniform, logNormal };
    Distribution distribution = Distribution::uniform;
    // Uniform: drawn between the two. Log-normal: the draw is clamped to them.
    Platform::TimeInterval minimum = 0.5;
    Platform::TimeInterval maximum = 3.0;
    // Log-normal: the median latency and the standard deviation of its logarithm.
    Platform::TimeInterval median = 1.2;
    double sigma = 0.6;
  };

  struct AdUnitBehavior {
    // Probability in [0, 1] that a request is filled.
    double fillRate = 0.85;
    Latency latency;
    // A failed request fails with one of these codes (GADError's domain), drawn uniformly.
    std::vector<std::int64_t> errorCodes{GADError::kNoFill, GADError::kNetworkError,
                                         GADError::kTimeout};
    // A filled ad names one of these networks, drawn uniformly; none when empty.
    std::vector<std::string> networkClassNames{GoogleMobileAdsSandbox::kDefaultNetworkClassName};
    // Seconds a presented ad stays on screen before it closes itself.
    Platform::TimeInterval onScreenDuration = 15;
    GADAdReward reward{Platform::Decimal::fromInt(10), "coins"};
  };

  struct Configuration {
    std::uint64_t seed = 1;
    // Seconds from a start request to its completion.
    Platform::TimeInterval startDelay = 0.3;
    // For ad-unit keys without an entry of their own.
    AdUnitBehavior defaults;
    std::map<std::string, AdUnitBehavior> adUnits;
  };

  // A configuration made ready, once, for the simulations that play it: the behaviour of every
  // ad unit is found by hashing the unit's key, where the configuration's map compares it with
  // several keys. Not copyable: the index points into the configuration it holds.
  class PreparedConfiguration {
   public:
    explicit PreparedConfiguration(Configuration configuration);
    PreparedConfiguration(const PreparedConfiguration&) = delete;
    PreparedConfiguration& operator=(const PreparedConfiguration&) = delete;

    [[nodiscard]] const Configuration& configuration() const { return configuration_; }
    // The unit's own behaviour, or the defaults for a key without an entry.
    [[nodiscard]] const AdUnitBehavior& behavior(std::string_view adUnitID) const;

   private:
    const Configuration configuration_;
    std::unordered_map<std::string_view, const AdUnitBehavior*, Platform::TextHash,
                       Platform::TextEqual>
        units_;
  };

  // Installs a GoogleMobileAdsSandbox in environment, driven by a new simulation, which is
  // registered there as well (the environment owns both).
  static std::shared_ptr<SimulatedGoogleMobileAds> install(Platform::Environment& environment,
                                                           Configuration configuration);
  // The same with a configuration prepared once and shared, read only, by several simulations
  // (the sessions of a Monte Carlo job, which then neither copy its maps nor index them each),
  // drawing from seed instead of the configuration's own.
  static std::shared_ptr<SimulatedGoogleMobileAds> install(
      Platform::Environment& environment, std::shared_ptr<const PreparedConfiguration> prepared,
      std::uint64_t seed);

  [[nodiscard]] const std::shared_ptr<GoogleMobileAdsSandbox>& sandbox() const { return sandbox_; }
  [[nodiscard]] const AdUnitBehavior& behavior(const std::string& adUnitID) const;

  // GoogleMobileAdsSandbox::Driver.
  void didReceiveRequest(const GoogleMobileAdsSandbox::Request& request) override;
  void didPresent(GoogleMobileAdsSandbox::RequestID request) override;

 private:
  SimulatedGoogleMobileAds(Platform::Environment& environment,
                           std::shared_ptr<const PreparedConfiguration> configuration,
                           std::uint64_t seed, std::shared_ptr<GoogleMobileAdsSandbox> sandbox);

  // In [0, 1), from the top 53 bits of one draw.
  double drawUnit();
  std::size_t drawIndex(std::size_t count);
  Platform::TimeInterval drawLatency(const Latency& latency);

  Platform::Environment& environment_;
  const std::shared_ptr<const PreparedConfiguration> configuration_;
  const std::shared_ptr<GoogleMobileAdsSandbox> sandbox_;
  Platform::MersenneTwister64 random_;
};

}  // namespace QVRAdKit::Sandbox
