#pragma once
// SimulatedIronSource is the IronSource stand-in for the sandbox host: it answers on its own, by
// clock time on the environment's main queue, from a seeded generator, so a run with the same seed
// and the same calls replays exactly. Initialisation completes after a fixed latency; a load fills
// with the profile's fill rate after a latency drawn uniformly from the profile's range, with an
// ad network drawn from its list (or fails with an error drawn from its list); a shown ad opens at
// once and closes itself after the profile's on-screen duration (a rewarded video grants the
// configured reward just before it closes). Interstitial placements may be capped at N shows
// within any hour of clock time; a capped or empty slot answers a show with a fail-to-show.
// Example:
//   SimulatedIronSource::Configuration configuration;
//   configuration.seed = 42;
//   configuration.interstitialShowsPerHour["connect"] = 3;
//   SimulatedIronSource::create(configuration)->install(*environment);
// Threading: as IronSourceSandbox; every callback runs as a main-queue task.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QVRAdKit/Platform/Date.h"
#include "QVRAdKit/Platform/MersenneTwister64.h"
#include "QVRAdKit/Rx/ConfinableMutex.h"
#include "Sandbox/IronSource/IronSourceSandbox.h"

namespace QVRAdKit::Sandbox {

class SimulatedIronSource final : public IronSourceSandbox {
  struct Token {};

 public:
  // Error domain of every error the simulation makes up.
  static constexpr const char* kErrorDomain = "QVRAdKit.Sandbox.IronSource";

  struct SlotProfile {
    double fillRate = 0.9;  // probability that a load fills, clamped to [0, 1]
    Platform::TimeInterval minimumLatency = 0.5;  // seconds until a load answers, drawn uniformly
    Platform::TimeInterval maximumLatency = 3.0;
    std::vector<std::string> adNetworks = {"ironSource", "UnityAds", "AppLovin"};
    // Drawn uniformly for a load that does not fill; a generic no-fill error when empty.
    std::vector<Platform::Error> loadErrors = {
        {kErrorDomain, 1001, "No fill"},
        {kErrorDomain, 1002, "Load timed out"},
        {kErrorDomain, 1003, "Network unreachable"},
    };
    std::string adUnit;
    Platform::TimeInterval onScreenDuration = 15.0;  // seconds until a shown ad closes itself
  };

  struct Configuration {
    std::uint64_t seed = 0;
    Platform::TimeInterval initializationLatency = 1.0;
    SlotProfile interstitial = profileFor("interstitial");
    SlotProfile rewardedVideo = profileFor("rewardedvideo");
    // At most this many interstitial shows per placement within any hour of clock time; placements
    // not listed are never capped.
    std::map<std::string, unsigned> interstitialShowsPerHour;
    // What a rewarded video grants before it closes.
    ISPlacementInfo reward{"Reward", Platform::Decimal::fromInt(1), "DefaultRewardedVideo"};
  };

  static std::shared_ptr<SimulatedIronSource> create(Configuration configuration);
  // The same with a configuration shared, read only, by several simulations (the sessions of a
  // Monte Carlo job, which then do not copy it each), drawing from seed instead of the
  // configuration's own.
  static std::shared_ptr<SimulatedIronSource> create(
      std::shared_ptr<const Configuration> configuration, std::uint64_t seed);
  SimulatedIronSource(Token, std::shared_ptr<const Configuration> configuration,
                      std::uint64_t seed);

  // The errors of refused shows.
  static Platform::Error noAdToShowError();
  static Platform::Error cappedError();
  static Platform::Error alreadyShowingError();

 private:
  // What a load drew: small enough to be queued without an allocation. The ad network or the
  // error is read from the profile when the answer is delivered; the profile is part of the
  // configuration, which lives as long as the simulation.
  struct LoadOutcome {
    static constexpr std::size_t kDefault = static_cast<std::size_t>(-1);
    Platform::TimeInterval latency = 0;
    bool filled = false;
    std::size_t drawn = kDefault;  // into adNetworks if filled, else loadErrors; kDefault if empty
    [[nodiscard]] ISAdInfo adInfo(const SlotProfile& profile) const;
    [[nodiscard]] const Platform::Error& error(const SlotProfile& profile) const;
  };

  static SlotProfile profileFor(std::string adUnit) {
    SlotProfile profile;
    profile.adUnit = std::move(adUnit);
    return profile;
  }

  void initializationRequested() override;
  void interstitialLoadRequested() override;
  void rewardedVideoLoadRequested() override;
  void interstitialShowRequested(const std::string& placement) override;
  void rewardedVideoShowRequested() override;
  bool interstitialCapped(const std::string& placement) override;

  // Draws under the lock: the outcome depends only on the seed and the order of requests.
  LoadOutcome drawLoadOutcome(const SlotProfile& profile);
  double drawUnit();  // uniform in [0, 1)
  size_t drawIndex(size_t count);
  bool cappedLocked(const std::string& placement, Platform::Date now);
  std::weak_ptr<SimulatedIronSource> weakSelf();

  const std::shared_ptr<const Configuration> configuration_;
  Rx::ConfinableMutex mutex_{"SimulatedIronSource"};
  Platform::MersenneTwister64 generator_;
  std::map<std::string, std::deque<Platform::Date>> interstitialShowDates_;
  bool interstitialShowing_ = false;
  bool rewardedVideoShowing_ = false;
};

}  // namespace QVRAdKit::Sandbox
