#pragma once
// SessionStatistics is what one or more sandbox sessions add up to, per placement and per network:
// ad requests the module reported, the loads that filled and those that failed, the durations of
// the filled loads, the moments the host had for an ad (opportunities), the ads that opened
// (shows) and the rewards earned. Sessions combine with merge(), which only adds, so the totals
// do not depend on the order of merging.
// Placements are named "<kind>.<placement>" ("interstitial.connect", "appOpen.main",
// "rewarded.timewall"); networks by the source name the analytics events carry ("admob",
// "ironsource"). Rows are kept in name order.
// Threading: a value.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Sandbox/MonteCarlo/LatencyHistogram.h"

namespace QVRAdKit::Sandbox {

struct SessionStatistics {
  struct Row {
    std::uint64_t requests = 0;
    std::uint64_t fills = 0;
    std::uint64_t failures = 0;
    // Durations of the filled loads, in milliseconds, from request to load.
    LatencyHistogram loadLatency;
    std::uint64_t opportunities = 0;
    std::uint64_t shows = 0;
    std::uint64_t rewards = 0;

    void merge(const Row& other);
    // Back to no counts, keeping the histogram's memory for the next session.
    void clear();
    // fills / requests; none without requests.
    [[nodiscard]] std::optional<double> fillRate() const;
    // shows / opportunities; none without opportunities.
    [[nodiscard]] std::optional<double> showRate() const;
    bool operator==(const Row&) const = default;
  };

  std::map<std::string, Row> placements;
  std::map<std::string, Row> networks;

  void merge(const SessionStatistics& other);
  bool operator==(const SessionStatistics&) const = default;
};

}  // namespace QVRAdKit::Sandbox
