#include "Sandbox/MonteCarlo/StatisticsReporting.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <variant>

#include "QVRAdKit/Host/EventCatalog/AdEventAction.h"
#include "QVRAdKit/Host/EventCatalog/AdEventSource.h"
#include "QVRAdKit/Platform/TextEqual.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr Platform::TextEqual isText;

constexpr std::size_t kAdMob = 0;
constexpr std::size_t kIronSource = 1;

std::size_t networkIndex(AdSource source) {
  return source == AdSource::adMob ? kAdMob : kIronSource;
}

// Whether name, already known to have text's length, holds text's characters: a comparison of
// constant length, which the compiler makes a few word compares.
template <std::size_t N>
bool sameBytes(std::string_view name, const char (&text)[N]) {
  return std::memcmp(name.data(), text, N - 1) == 0;
}

static_assert(reportingName(AdEventSource::adMob) == "admob");
static_assert(reportingName(AdEventSource::ironSource) == "ironsource");

// The row of the module's two sources, told apart by length and a comparison of constant length
// (every counted event names one); none for any other name.
std::optional<std::size_t> knownNetwork(std::string_view name) {
  if (name.size() == 5 && sameBytes(name, "admob")) return kAdMob;
  if (name.size() == 10 && sameBytes(name, "ironsource")) return kIronSource;
  return std::nullopt;
}

// The parameters of an ad event the statistics read, found in one pass over the event (the first
// of a name counts, as ReportingObject::parameter finds it): a text of the wrong type reads as
// absent, an integer as 0.
struct AdEventParameters {
  const std::string* source = nullptr;
  const std::string* aaid = nullptr;
  const std::string* unitID = nullptr;
  const std::string* action = nullptr;
  std::int64_t errorCode = 0;
  std::int64_t duration = 0;

  explicit AdEventParameters(const ReportingObject& event) {
    enum Seen : unsigned {
      kSource = 1,
      kAaid = 2,
      kUnitID = 4,
      kAction = 8,
      kCode = 16,
      kTime = 32
    };
    unsigned seen = 0;
    const auto first = [&seen](Seen flag) {
      const bool isFirst = (seen & flag) == 0;
      seen |= flag;
      return isFirst;
    };
    // By length first: an event has about eight parameters, and most names are then told apart
    // without comparing a single character.
    for (const auto& [name, value] : event.parameters) {
      switch (name.size()) {
        case 4:
          if (sameBytes(name, "aaid") && first(kAaid)) aaid = std::get_if<std::string>(&value);
          break;
        case 6:
          if (sameBytes(name, "source")) {
            if (first(kSource)) source = std::get_if<std::string>(&value);
          } else if (sameBytes(name, "action") && first(kAction)) {
            action = std::get_if<std::string>(&value);
          }
          break;
        case 7:
          if (sameBytes(name, "unit_id") && first(kUnitID)) {
            unitID = std::get_if<std::string>(&value);
          }
          break;
        case 8:
          if (sameBytes(name, "duration") && first(kTime)) duration = integer(value);
          break;
        case 10:
          if (sameBytes(name, "error_code") && first(kCode)) errorCode = integer(value);
          break;
        default:
          break;
      }
    }
  }

 private:
  static std::int64_t integer(const ReportingValue& value) {
    const auto* number = std::get_if<std::int64_t>(&value);
    return number ? *number : 0;
  }
};

// The action an interstitial placement's requests name, by the placement's case name.
std::optional<AdEventAction> interstitialAction(std::string_view placementCase) {
  if (placementCase == "connect") return AdEventAction::connect;
  if (placementCase == "disconnect") return AdEventAction::disconnect;
  if (placementCase == "appLaunch") return AdEventAction::appLaunch;
  return std::nullopt;
}

}  // namespace

StatisticsReporting::StatisticsReporting(const AdsConfig& configuration) {
  auto add = [this](std::string_view kindName, std::string_view placementCase, std::size_t network,
                    const AdPlacementConfig& config, Candidate candidate) {
    std::string name(kindName);
    name.append(1, '.').append(placementCase);
    candidate.placement = placementNames_.size();
    placementNames_.push_back(std::move(name));
    for (const std::string& key : config.keys()) {
      std::vector<Unit>& units = byUnit_[network];
      auto unit = std::find_if(units.begin(), units.end(),
                               [&key](const Unit& held) { return held.key == key; });
      if (unit == units.end()) unit = units.insert(units.end(), Unit{key, {}});
      unit->candidates.push_back(candidate);
    }
    return candidate.placement;
  };
  std::optional<std::size_t> ironSourceInterstitial;
  std::optional<std::size_t> ironSourceRewarded;
  for (const auto& [placement, config] : configuration.interstitialPlacements()) {
    const std::string_view placementCase = caseName(placement);
    const auto action = interstitialAction(placementCase);
    const Candidate candidate{action ? Candidate::Fit::action : Candidate::Fit::never,
                              action ? reportingName(*action) : std::string_view(), 0};
    const std::size_t index =
        add("interstitial", placementCase, networkIndex(config.source()), config, candidate);
    if (config.source() == AdSource::ironSource && !ironSourceInterstitial) {
      ironSourceInterstitial = index;
    }
  }
  // App-open ads always come from Google Mobile Ads, whatever the configured source.
  for (const auto& [placement, config] : configuration.appOpenPlacements()) {
    add("appOpen", caseName(placement), kAdMob, config,
        {Candidate::Fit::action, reportingName(AdEventAction::appOpen), 0});
  }
  for (const auto& [placement, config] : configuration.rewardedPlacements()) {
    const std::size_t index = add("rewarded", caseName(placement), networkIndex(config.source()),
                                  config, {Candidate::Fit::noAction, {}, 0});
    if (config.source() == AdSource::ironSource && !ironSourceRewarded) {
      ironSourceRewarded = index;
    }
  }
  configuredPlacements_ = placementNames_.size();
  unattributed_ = placementNames_.size();
  placementNames_.emplace_back(kUnattributed);
  ironSourceInterstitial_ = ironSourceInterstitial.value_or(unattributed_);
  ironSourceRewarded_ = ironSourceRewarded.value_or(unattributed_);
  placements_.resize(placementNames_.size());
  networks_.emplace_back(std::string(reportingName(AdEventSource::adMob)), Counted{});
  networks_.emplace_back(std::string(reportingName(AdEventSource::ironSource)), Counted{});
}

std::size_t StatisticsReporting::placementOf(std::optional<std::size_t> network,
                                             const std::string* unitID,
                                             const std::string* action) const {
  const bool ironSource = network == kIronSource;
  if (!unitID) return ironSource ? ironSourceInterstitial_ : unattributed_;
  if (unitID->empty()) return ironSource ? ironSourceRewarded_ : unattributed_;
  if (!network) return unattributed_;
  const std::vector<Unit>& units = byUnit_[*network];
  const auto found = std::find_if(units.begin(), units.end(),
                                  [&](const Unit& unit) { return isText(unit.key, *unitID); });
  if (found == units.end()) return unattributed_;
  const std::vector<Candidate>& candidates = found->candidates;
  // Interstitial and app-open events name their action; rewarded ones name none.
  for (const Candidate& candidate : candidates) {
    switch (candidate.fit) {
      case Candidate::Fit::action:
        if (action && *action == candidate.action) return candidate.placement;
        break;
      case Candidate::Fit::noAction:
        if (!action) return candidate.placement;
        break;
      case Candidate::Fit::never:
        break;
    }
  }
  return candidates.front().placement;
}

SessionStatistics::Row& StatisticsReporting::placement(std::size_t index) {
  Counted& counted = placements_[index];
  counted.used = true;
  return counted.row;
}

SessionStatistics::Row& StatisticsReporting::placementRow(std::string_view kind,
                                                          std::string_view placementCase) {
  const auto named = [kind, placementCase](const std::string& name) {
    return name.size() == kind.size() + 1 + placementCase.size() && name.starts_with(kind) &&
           name[kind.size()] == '.' && name.ends_with(placementCase);
  };
  const auto found = std::find_if(placementNames_.begin(), placementNames_.end(), named);
  if (found != placementNames_.end()) {
    return placement(static_cast<std::size_t>(found - placementNames_.begin()));
  }
  std::string name(kind);
  name.append(1, '.').append(placementCase);
  placementNames_.push_back(std::move(name));
  placements_.emplace_back();
  return placement(placements_.size() - 1);
}

void StatisticsReporting::touchConfiguredPlacements() {
  for (std::size_t i = 0; i < configuredPlacements_; ++i) placements_[i].used = true;
}

SessionStatistics::Row& StatisticsReporting::networkRow(std::string_view name) {
  return networkRow(knownNetwork(name), name);
}

SessionStatistics::Row& StatisticsReporting::networkRow(std::optional<std::size_t> known,
                                                        std::string_view name) {
  if (known) {
    Counted& counted = networks_[*known].second;
    counted.used = true;
    return counted.row;
  }
  auto found = std::find_if(networks_.begin(), networks_.end(),
                            [name](const auto& network) { return isText(network.first, name); });
  if (found == networks_.end()) found = networks_.insert(networks_.end(), {std::string(name), {}});
  found->second.used = true;
  return found->second.row;
}

void StatisticsReporting::track(const ReportingObject& event) {
  // The name first: the events not counted (views, clicks, ...) are not read further.
  enum class Kind { requested, loaded, opened };
  // By length first, like the parameters: a comparison of constant length, not a call.
  const std::string& name = event.name;
  Kind kind{};
  switch (name.size()) {
    case 12:
      if (!sameBytes(name, "ad_requested")) return;
      kind = Kind::requested;
      break;
    case 9:
      if (sameBytes(name, "ad_loaded")) {
        kind = Kind::loaded;
      } else if (sameBytes(name, "ad_opened")) {
        kind = Kind::opened;
      } else {
        return;
      }
      break;
    default:
      return;
  }
  const AdEventParameters parameters(event);
  if (!parameters.source || !parameters.aaid) return;
  const std::string& source = *parameters.source;
  const std::optional<std::size_t> network = knownNetwork(source);
  switch (kind) {
    case Kind::requested: {
      const std::size_t index = placementOf(network, parameters.unitID, parameters.action);
      ++placement(index).requests;
      ++networkRow(network, source).requests;
      pending_.remember(*parameters.aaid, index);
      return;
    }
    case Kind::loaded: {
      const auto waited = pending_.take(*parameters.aaid);
      if (!waited) return;
      SessionStatistics::Row& row = placement(*waited);
      SessionStatistics::Row& networkTotals = networkRow(network, source);
      if (parameters.errorCode != 0) {
        ++row.failures;
        ++networkTotals.failures;
        return;
      }
      ++row.fills;
      ++networkTotals.fills;
      row.loadLatency.add(parameters.duration);
      networkTotals.loadLatency.add(parameters.duration);
      return;
    }
    case Kind::opened:
      ++networkRow(network, source).shows;
      return;
  }
}

void StatisticsReporting::reset() {
  for (Counted& counted : placements_) {
    counted.row.clear();
    counted.used = false;
  }
  for (auto& [name, counted] : networks_) {
    counted.row.clear();
    counted.used = false;
  }
  pending_.clear();
}

SessionStatistics StatisticsReporting::statistics() const {
  SessionStatistics result;
  for (std::size_t i = 0; i < placements_.size(); ++i) {
    if (placements_[i].used) result.placements.emplace(placementNames_[i], placements_[i].row);
  }
  for (const auto& [name, counted] : networks_) {
    if (counted.used) result.networks.emplace(name, counted.row);
  }
  return result;
}

}  // namespace QVRAdKit::Sandbox
