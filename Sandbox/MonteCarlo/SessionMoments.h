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
  // The mean per session of a row's quantity over sessions, with the interval
  // mean +- t * s / sqrt(n), s the sample standard deviation (n - 1 in the denominator) and t
  // Student's, its low end cut at 0: every quantity is a count, so no mean below 0 is possible.
  // When the sessions counted only c and c + 1, it is c plus Wilson's interval of the share of
  // c + 1 (a yes-or-no draw per session); when every session counted the same c, c +-
  // ConfidenceIntervals::sameCountBound(n) instead of the point (0 to 0.018 for 200 sessions that
  // never showed an ad). None without sessions; no interval below kMinSessionsForSpread.
  [[nodiscard]] static std::optional<Estimate> mean(const MomentSums& row, Quantity quantity,
                                                    std::uint64_t sessions);

  // The 95% interval of the rate sum(part) / sum(whole) (fills per request, shows per
  // opportunity): Wilson's score interval on the effective number of trials p(1 - p) / Var(R),
  // Var(R) the ratio estimator's variance by the delta method over sessions. The requests of one
  // session depend on each other (a waterfall asks its next key after a failure; a pause holds
  // every placement), so counting each as an independent trial makes some intervals too wide and
  // others too narrow; the session is the independent unit. Plain Wilson on the counts below
  // kMinSessionsForSpread sessions and at a rate of 0 or 1, where the spread says nothing. None
  // without a whole.
  [[nodiscard]] static std::optional<Interval> rate(const MomentSums& row, Quantity part,
                                                    Quantity whole, std::uint64_t sessions);

  bool operator==(const SessionMoments&) const = default;
};

}  // namespace QVRAdKit::Sandbox
