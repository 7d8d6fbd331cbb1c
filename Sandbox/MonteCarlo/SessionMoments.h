#pragma once
// SessionMoments keeps, per placement and per network, the sums over sessions of each session's
// requests, fills, opportunities, shows and rewards and of their pairwise products (MomentSums):
// enough for the mean per session of each with its interval, and for ratio estimators, in memory
// fixed by the number of rows whatever the number of sessions. The number of sessions is the
// report's; a session without a row adds zeros to it.
// Example:
//   SessionMoments moments;
//   moments.add(sessionStatistics);  // once per session
//   SessionMoments::mean(moments.placements.at("interstitial.connect"), Quantity::shows, n);
// Threading: a value.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Sandbox/MonteCarlo/Interval.h"
#include "Sandbox/MonteCarlo/MomentSums.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

struct SessionMoments {
  enum Quantity : std::size_t { requests, fills, opportunities, shows, rewards };
  static constexpr std::size_t kQuantities = 5;
  // The quantities' names, in Quantity order, as the JSON names them.
  static constexpr std::array<const char*, kQuantities> kNames = {
      "requests", "fills", "opportunities", "shows", "rewards"};

  std::map<std::string, MomentSums> placements;
  std::map<std::string, MomentSums> networks;

  [[nodiscard]] static std::array<std::uint64_t, kQuantities> quantitiesOf(
      const SessionStatistics::Row& row);
  // One session's statistics.
  void add(const SessionStatistics& session);
  void merge(const SessionMoments& other);
  // The mean per session of a row's quantity over sessions, with the normal approximation
  // mean +- z * s / sqrt(n), s the sample standard deviation (n - 1 in the denominator), its low
  // end cut at 0: every quantity is a count, so no mean below 0 is possible, and the cut keeps
  // the interval's coverage. None without sessions; no interval with fewer than two.
  [[nodiscard]] static std::optional<Estimate> mean(const MomentSums& row, Quantity quantity,
                                                    std::uint64_t sessions);

  bool operator==(const SessionMoments&) const = default;
};

}  // namespace QVRAdKit::Sandbox
