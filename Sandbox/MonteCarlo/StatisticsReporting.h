#pragma once
// StatisticsReporting is an analytics sink that adds the module's ad events up into
// SessionStatistics instead of writing them anywhere: each request counts for its placement and
// its network; the load result that answers it (matched by the ad's uuid) counts as a fill, with
// its duration, or as a failure; an opened ad counts as a show of its network. Load results that
// answer no request it saw (a failure to present, reported like a failed load) are not counted.
//
// A request is put on a placement of the ads configuration by its ad-unit key, its network and,
// where a key serves several placements, its action. IronSource interstitials carry no key (the
// network has one interstitial slot for all its placements): they go to the first IronSource
// interstitial placement (connect, disconnect, appLaunch order); IronSource rewarded requests,
// which carry an empty key, to the first IronSource rewarded placement. A request that fits no
// placement counts under "unattributed".
//
// Requests still waiting for their answer are remembered by uuid (PendingRequests); some never get
// one (an ad the module dropped, or one that found the network's slot already loading), so only the
// most recent kPendingLimit are kept and older ones are forgotten: memory does not grow with
// session length.
//
// Everything that depends only on the configuration (placement names, the key look-up) is built
// once; the counters are flat rows indexed by placement and network. reset() starts a new session
// on the same configuration with clean counters and no waiting requests, keeping the memory, so a
// run of many sessions makes one sink.
// Example:
//   auto statistics = std::make_shared<StatisticsReporting>(configuration.ads);
//   options.reporting = statistics;
//   SandboxHost::run(options);
//   statistics->statistics().placements.at("interstitial.connect").fills;
// Threading: main queue only, like the module's reporters.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "Sandbox/MonteCarlo/PendingRequests.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

class StatisticsReporting final : public QVReporting {
 public:
  static constexpr std::size_t kPendingLimit = 1024;
  static constexpr const char* kUnattributed = "unattributed";

  explicit StatisticsReporting(const AdsConfig& configuration);

  void track(const ReportingObject& event) override;

  // The statistics of the session so far: the rows counted into, in name order.
  [[nodiscard]] SessionStatistics statistics() const;
  // Requests remembered while they wait for their answer.
  [[nodiscard]] std::size_t pendingCount() const { return pending_.size(); }
  // Forgets the session: no rows, no waiting requests.
  void reset();

  // The row of the placement "<kind>.<placementCase>", counted as part of the session from now
  // on (made when the configuration does not have it). For the host's moments.
  [[nodiscard]] SessionStatistics::Row& placementRow(std::string_view kind,
                                                     std::string_view placementCase);
  // Marks every configured placement as part of the session (an idle one still shows as a row).
  void touchConfiguredPlacements();
  // The row of a network by its source name ("admob", "ironsource", ...), made when new.
  [[nodiscard]] SessionStatistics::Row& networkRow(std::string_view name);

 private:
  struct Candidate {
    // A candidate fits a request naming this action; rewarded ones fit a request without one;
    // an interstitial placement no action names fits none.
    enum class Fit { action, noAction, never };
    Fit fit;
    std::string_view action;
    std::size_t placement;
  };
  // An ad-unit key and the placements it serves. A network's units are kept in a plain list and
  // scanned: a configuration names a handful per network, mostly of different lengths, so
  // comparing lengths first finds one faster than hashing the key would.
  struct Unit {
    std::string key;
    std::vector<Candidate> candidates;
  };
  // A row and whether the session has counted into it (only those are reported).
  struct Counted {
    SessionStatistics::Row row;
    bool used = false;
  };

  // network: the row of one of the module's two sources, none for any other source.
  [[nodiscard]] std::size_t placementOf(std::optional<std::size_t> network,
                                        const std::string* unitID, const std::string* action) const;
  // networkRow(name) with known, the row of the module's sources, found from name beforehand.
  [[nodiscard]] SessionStatistics::Row& networkRow(std::optional<std::size_t> known,
                                                   std::string_view name);
  [[nodiscard]] SessionStatistics::Row& placement(std::size_t index);

  // Placement names by index: the configured ones, "unattributed", then any the host added.
  std::vector<std::string> placementNames_;
  std::size_t configuredPlacements_ = 0;
  std::size_t unattributed_ = 0;
  std::size_t ironSourceInterstitial_ = 0;
  std::size_t ironSourceRewarded_ = 0;
  // Per network (AdMob, IronSource): ad-unit key to the placements it serves, in configuration
  // order: interstitial, app-open, rewarded. The same key may name different units at the two.
  std::array<std::vector<Unit>, 2> byUnit_;

  std::vector<Counted> placements_;
  // "admob", "ironsource", then any other source name seen, in order of appearance.
  std::vector<std::pair<std::string, Counted>> networks_;
  PendingRequests pending_{kPendingLimit};
};

}  // namespace QVRAdKit::Sandbox
