#include "Sandbox/MonteCarlo/StatisticsReporting.h"

#include <variant>

#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/EventCatalog/AdEventSource.h"

namespace QVRAdKit::Sandbox {
namespace {

std::string networkName(AdSource source) {
  return std::string(
      reportingName(source == AdSource::adMob ? AdEventSource::adMob : AdEventSource::ironSource));
}

// The key of byUnit_: the same key may name different units at the two networks.
std::string unitKey(std::string_view network, std::string_view unitID) {
  std::string key;
  key.reserve(network.size() + 1 + unitID.size());
  key.append(network).append(1, '\n').append(unitID);
  return key;
}

const std::string* text(const ReportingObject& event, std::string_view name) {
  const ReportingValue* value = event.parameter(name);
  return value ? std::get_if<std::string>(value) : nullptr;
}

std::int64_t integer(const ReportingObject& event, std::string_view name) {
  const ReportingValue* value = event.parameter(name);
  const auto* number = value ? std::get_if<std::int64_t>(value) : nullptr;
  return number ? *number : 0;
}

}  // namespace

StatisticsReporting::StatisticsReporting(const AdsConfig& configuration) {
  using Kind = Candidate::Kind;
  auto add = [this](Kind kind, std::string_view kindName, std::string_view placementCase,
                    const std::string& network, const AdPlacementConfig& config) {
    Candidate candidate{kind, std::string(placementCase),
                        std::string(kindName) + "." + std::string(placementCase)};
    for (const std::string& key : config.keys()) {
      byUnit_[unitKey(network, key)].push_back(candidate);
    }
    return candidate.name;
  };
  for (const auto& [placement, config] : configuration.interstitialPlacements()) {
    const std::string name = add(Kind::interstitial, "interstitial", caseName(placement),
                                 networkName(config.source()), config);
    if (config.source() == AdSource::ironSource && ironSourceInterstitial_.empty()) {
      ironSourceInterstitial_ = name;
    }
  }
  // App-open ads always come from Google Mobile Ads, whatever the configured source.
  for (const auto& [placement, config] : configuration.appOpenPlacements()) {
    add(Kind::appOpen, "appOpen", caseName(placement), networkName(AdSource::adMob), config);
  }
  for (const auto& [placement, config] : configuration.rewardedPlacements()) {
    const std::string name =
        add(Kind::rewarded, "rewarded", caseName(placement), networkName(config.source()), config);
    if (config.source() == AdSource::ironSource && ironSourceRewarded_.empty()) {
      ironSourceRewarded_ = name;
    }
  }
  if (ironSourceInterstitial_.empty()) ironSourceInterstitial_ = kUnattributed;
  if (ironSourceRewarded_.empty()) ironSourceRewarded_ = kUnattributed;
}

const std::string& StatisticsReporting::placementOf(std::string_view network,
                                                    const std::string* unitID,
                                                    const std::string* action) const {
  static const std::string unattributed = kUnattributed;
  const bool ironSource = network == reportingName(AdEventSource::ironSource);
  if (!unitID) return ironSource ? ironSourceInterstitial_ : unattributed;
  if (unitID->empty()) return ironSource ? ironSourceRewarded_ : unattributed;
  const auto found = byUnit_.find(unitKey(network, *unitID));
  if (found == byUnit_.end()) return unattributed;
  const std::vector<Candidate>& candidates = found->second;
  // Interstitial and app-open events name their action; rewarded ones name none.
  for (const Candidate& candidate : candidates) {
    switch (candidate.kind) {
      case Candidate::Kind::interstitial:
        if (action && *action == reportingName(AdEventAction::connect) &&
            candidate.placementCase == "connect") {
          return candidate.name;
        }
        if (action && *action == reportingName(AdEventAction::disconnect) &&
            candidate.placementCase == "disconnect") {
          return candidate.name;
        }
        if (action && *action == reportingName(AdEventAction::appLaunch) &&
            candidate.placementCase == "appLaunch") {
          return candidate.name;
        }
        break;
      case Candidate::Kind::appOpen:
        if (action && *action == reportingName(AdEventAction::appOpen)) return candidate.name;
        break;
      case Candidate::Kind::rewarded:
        if (!action) return candidate.name;
        break;
    }
  }
  return candidates.front().name;
}

void StatisticsReporting::track(const ReportingObject& event) {
  const std::string* source = text(event, "source");
  const std::string* aaid = text(event, "aaid");
  if (!source || !aaid) return;
  if (event.name == "ad_requested") {
    const std::string& placement =
        placementOf(*source, text(event, "unit_id"), text(event, "action"));
    SessionStatistics::Row& row = statistics_.placements[placement];
    ++row.requests;
    ++statistics_.networks[*source].requests;
    if (pending_.size() >= kPendingLimit) forgetOldestPending();
    // A rewarded ad that loads again keeps its uuid: its new request replaces the old one.
    pending_.insert_or_assign(*aaid, Pending{&row, serial_++});
  } else if (event.name == "ad_loaded") {
    const auto found = pending_.find(*aaid);
    if (found == pending_.end()) return;
    SessionStatistics::Row& placement = *found->second.placement;
    pending_.erase(found);
    SessionStatistics::Row& network = statistics_.networks[*source];
    if (integer(event, "error_code") != 0) {
      ++placement.failures;
      ++network.failures;
      return;
    }
    const std::int64_t duration = integer(event, "duration");
    ++placement.fills;
    ++network.fills;
    placement.loadLatency.add(duration);
    network.loadLatency.add(duration);
  } else if (event.name == "ad_opened") {
    ++statistics_.networks[*source].shows;
  }
}

// Forgets the older half of the waiting requests: those have almost surely lost their answer.
void StatisticsReporting::forgetOldestPending() {
  const std::uint64_t keepFrom = serial_ - kPendingLimit / 2;
  std::erase_if(pending_, [keepFrom](const auto& item) { return item.second.serial < keepFrom; });
}

}  // namespace QVRAdKit::Sandbox
