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
// Requests still waiting for their answer are remembered by uuid; some never get one (an ad the
// module dropped, or one that found the network's slot already loading), so only the most recent
// kPendingLimit are kept and older ones are forgotten: memory does not grow with session length.
// Example:
//   auto statistics = std::make_shared<StatisticsReporting>(configuration.ads);
//   options.reporting = statistics;
//   SandboxHost::run(options);
//   statistics->statistics().placements.at("interstitial.connect").fills;
// Threading: main queue only, like the module's reporters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "QVRAdKit/Config/AdsConfig.h"
#include "QVRAdKit/Host/QVReporting.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

class StatisticsReporting final : public QVReporting {
 public:
  static constexpr std::size_t kPendingLimit = 1024;
  static constexpr const char* kUnattributed = "unattributed";

  explicit StatisticsReporting(const AdsConfig& configuration);

  void track(const ReportingObject& event) override;

  [[nodiscard]] const SessionStatistics& statistics() const { return statistics_; }
  // Requests remembered while they wait for their answer.
  [[nodiscard]] std::size_t pendingCount() const { return pending_.size(); }

 private:
  struct Candidate {
    enum class Kind { interstitial, appOpen, rewarded };
    Kind kind;
    std::string placementCase;  // "connect", "main", ...
    std::string name;           // "interstitial.connect"
  };
  struct Pending {
    SessionStatistics::Row* placement;
    std::uint64_t serial;
  };

  [[nodiscard]] const std::string& placementOf(std::string_view network, const std::string* unitID,
                                               const std::string* action) const;
  void forgetOldestPending();

  SessionStatistics statistics_;
  // Ad-unit key (with the network it is served from) to the placements it serves, in
  // configuration order: interstitial, app-open, rewarded.
  std::unordered_map<std::string, std::vector<Candidate>> byUnit_;
  std::string ironSourceInterstitial_;
  std::string ironSourceRewarded_;
  std::unordered_map<std::string, Pending> pending_;
  std::uint64_t serial_ = 0;
};

}  // namespace QVRAdKit::Sandbox
