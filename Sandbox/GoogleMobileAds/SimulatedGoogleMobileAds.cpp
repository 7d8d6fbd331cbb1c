#include "Sandbox/GoogleMobileAds/SimulatedGoogleMobileAds.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

namespace QVRAdKit::Sandbox {

namespace {

Platform::Error errorForCode(std::int64_t code) {
  switch (code) {
    case GADError::kInvalidRequest:
      return GADError::make(code, "Invalid request.");
    case GADError::kNoFill:
      return GADError::make(code, "Request Error: No ad to show.");
    case GADError::kNetworkError:
      return GADError::make(code, "A network error occurred.");
    case GADError::kServerError:
      return GADError::make(code, "The ad server returned an error.");
    case GADError::kTimeout:
      return GADError::make(code, "The request timed out.");
    case GADError::kInternalError:
      return GADError::make(code, "Internal error.");
    default:
      return GADError::make(code, "Ad request failed with code " + std::to_string(code) + ".");
  }
}

}  // namespace

SimulatedGoogleMobileAds::PreparedConfiguration::PreparedConfiguration(Configuration configuration)
    : configuration_(std::move(configuration)) {
  units_.reserve(configuration_.adUnits.size());
  for (const auto& [key, behavior] : configuration_.adUnits) units_.emplace(key, &behavior);
}

const SimulatedGoogleMobileAds::AdUnitBehavior&
SimulatedGoogleMobileAds::PreparedConfiguration::behavior(std::string_view adUnitID) const {
  const auto found = units_.find(adUnitID);
  return found == units_.end() ? configuration_.defaults : *found->second;
}

std::shared_ptr<SimulatedGoogleMobileAds> SimulatedGoogleMobileAds::install(
    Platform::Environment& environment, Configuration configuration) {
  const std::uint64_t seed = configuration.seed;
  return install(environment,
                 std::make_shared<const PreparedConfiguration>(std::move(configuration)), seed);
}

std::shared_ptr<SimulatedGoogleMobileAds> SimulatedGoogleMobileAds::install(
    Platform::Environment& environment, std::shared_ptr<const PreparedConfiguration> prepared,
    std::uint64_t seed) {
  const Configuration& configuration = prepared->configuration();
  auto sandbox = GoogleMobileAdsSandbox::install(environment);
  sandbox->setRetainsAds(false);
  sandbox->setStartsAutomatically(true, std::max(0.0, configuration.startDelay));

  GADInitializationStatus status;
  auto addNetworks = [&](const AdUnitBehavior& behavior) {
    for (const auto& name : behavior.networkClassNames) {
      status.adapterStatesByClassName[name] = GADInitializationStatus::AdapterState::ready;
    }
  };
  addNetworks(configuration.defaults);
  for (const auto& [key, behavior] : configuration.adUnits) addNetworks(behavior);
  sandbox->setInitializationStatus(std::move(status));

  std::shared_ptr<SimulatedGoogleMobileAds> simulation(
      new SimulatedGoogleMobileAds(environment, std::move(prepared), seed, sandbox));
  sandbox->setDriver(simulation);
  environment.setService<SimulatedGoogleMobileAds>(simulation);
  return simulation;
}

SimulatedGoogleMobileAds::SimulatedGoogleMobileAds(
    Platform::Environment& environment, std::shared_ptr<const PreparedConfiguration> configuration,
    std::uint64_t seed, std::shared_ptr<GoogleMobileAdsSandbox> sandbox)
    : environment_(environment),
      configuration_(std::move(configuration)),
      sandbox_(std::move(sandbox)),
      random_(seed) {}

const SimulatedGoogleMobileAds::AdUnitBehavior& SimulatedGoogleMobileAds::behavior(
    const std::string& adUnitID) const {
  return configuration_->behavior(adUnitID);
}

double SimulatedGoogleMobileAds::drawUnit() {
  return static_cast<double>(random_() >> 11) * 0x1.0p-53;
}

std::size_t SimulatedGoogleMobileAds::drawIndex(std::size_t count) {
  return static_cast<std::size_t>(random_() % count);
}

Platform::TimeInterval SimulatedGoogleMobileAds::drawLatency(const Latency& latency) {
  const Platform::TimeInterval low = std::max(0.0, std::min(latency.minimum, latency.maximum));
  const Platform::TimeInterval high = std::max(low, std::max(latency.minimum, latency.maximum));
  if (latency.distribution == Latency::Distribution::uniform) {
    return low + (high - low) * drawUnit();
  }
  // Box-Muller from two draws, written out so that the sequence does not depend on the standard
  // library's distribution implementations.
  const double radius = std::sqrt(-2.0 * std::log(1.0 - drawUnit()));
  const double normal = radius * std::cos(2.0 * std::numbers::pi * drawUnit());
  const double drawn = std::max(0.0, latency.median) * std::exp(latency.sigma * normal);
  return std::clamp(drawn, low, high);
}

void SimulatedGoogleMobileAds::didReceiveRequest(const GoogleMobileAdsSandbox::Request& request) {
  const AdUnitBehavior& unit = behavior(request.adUnitID);
  // Draw order per request: fill, latency, then the network or the error. The task keeps only
  // what was drawn (an index, or the error's code), small enough to be queued without an
  // allocation; the unit it reads them from is part of the configuration, which lives as long as
  // the simulation.
  const bool fills = drawUnit() < unit.fillRate;
  const Platform::TimeInterval latency = drawLatency(unit.latency);
  std::size_t network = 0;  // index into unit.networkClassNames, when there are any
  std::int64_t errorCode = GADError::kNoFill;
  if (fills) {
    if (!unit.networkClassNames.empty()) network = drawIndex(unit.networkClassNames.size());
  } else if (!unit.errorCodes.empty()) {
    errorCode = unit.errorCodes[drawIndex(unit.errorCodes.size())];
  }
  environment_.mainQueue().asyncAfter(
      latency, [weak = weak_from_this(), id = request.id, unit = &unit, fills, network, errorCode] {
        auto self = weak.lock();
        if (!self) return;
        // Earlier finished requests are forgotten here, outside any sandbox call, so that a long
        // run does not accumulate them; the one answered now stays visible until the next answer.
        self->sandbox_->forgetFinishedRequests();
        if (!fills) {
          self->sandbox_->fail(id, errorForCode(errorCode));
        } else if (unit->networkClassNames.empty()) {
          self->sandbox_->fill(id, std::nullopt, unit->reward);
        } else {
          self->sandbox_->fill(id, unit->networkClassNames[network], unit->reward);
        }
      });
}

void SimulatedGoogleMobileAds::didPresent(GoogleMobileAdsSandbox::RequestID id) {
  const GoogleMobileAdsSandbox::Request* request = sandbox_->findRequest(id);
  if (!request) return;
  const bool alreadyUsed = sandbox_->presentCount(id) > 1;
  const bool rewarded = request->kind == GoogleMobileAdsSandbox::AdKind::rewarded;
  const Platform::TimeInterval onScreen =
      std::max(0.0, behavior(request->adUnitID).onScreenDuration);
  environment_.mainQueue().async([weak = weak_from_this(), id, alreadyUsed, rewarded, onScreen] {
    auto self = weak.lock();
    if (!self) return;
    if (alreadyUsed) {
      self->sandbox_->failToPresent(
          id, GADError::make(GADError::kAdAlreadyUsed, "The ad has already been presented."));
      return;
    }
    self->sandbox_->willPresent(id);
    self->environment_.mainQueue().asyncAfter(onScreen, [weak, id, rewarded] {
      auto self = weak.lock();
      if (!self) return;
      if (rewarded) self->sandbox_->earnReward(id);
      self->sandbox_->willDismiss(id);
      self->sandbox_->dismiss(id);
    });
  });
}

}  // namespace QVRAdKit::Sandbox
