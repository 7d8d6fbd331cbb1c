#pragma once
// PairedComparison compares two configurations, A and B, played on the same seeds: each seed's
// session under A and under B is one pair. It keeps, per placement and per network, the sums of
// both sides' per-session quantities and of all their products (MomentSums over A's five
// quantities then B's), plus each side's totals, so memory does not grow with the number of
// seeds, and comparisons merge exactly (whole-number sums) across shards of seeds.
//
// Every difference is B - A with a 95% interval, two ways:
// - paired: the sessions of one seed share their random draws, so A's and B's results move
//   together; the variance of the difference subtracts their covariance, and the interval is
//   much narrower than for two independent runs when the configurations differ little.
// - independent: the same data as if A and B had been two unrelated runs, for reference: each
//   side's interval as its run alone prints it, combined with no covariance.
// Per-session means (requests, shows, rewards per session): the mean of d = B - A per seed,
// mean(d) +- t * s(d) / sqrt(n), t Student's with n - 1 degrees of freedom and s the sample
// standard deviation.
// Rates (fill rate = fills / requests, show rate = shows / opportunities): ratio estimators
// R = sum(x) / sum(y) per side, each with its Wilson interval on its effective number of trials
// (the delta method over sessions, as a run alone has it, with Student's t for z); the interval of
// R_B - R_A combines the two with their correlation over the paired seeds (the method of variance
// estimates recovery, Newcombe's interval for paired proportions). Where both sides' intervals
// are symmetric that is the delta method's interval of R_B - R_A; near 0 and 100% it keeps to
// what the rates allow. This treats the session, not the request, as the independent unit, so it
// also holds when the requests of one session depend on each other. A rate is none on a side
// without a denominator, and so is its difference; the other side's rate is still kept
// (Row::fillRates, showRates). Intervals need kMinSessionsForSpread seeds at least. Sides that
// moved alike in every seed give exactly [0, 0]: the rounding of cancelling terms is not taken for
// a spread. Example:
//   PairedComparison comparison;
//   for (seed ...) comparison.add(runSession(a, seed), runSession(b, seed));
//   for (const auto& [name, row] : comparison.placements()) row.fillRate->difference->interval;
// Threading: a value.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Sandbox/MonteCarlo/Interval.h"
#include "Sandbox/MonteCarlo/MomentSums.h"
#include "Sandbox/MonteCarlo/SessionMoments.h"
#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {

class PairedComparison {
 public:
  // Sums per row: A's SessionMoments quantities at 0..4, B's at 5..9.
  static constexpr std::size_t kQuantities = 2 * SessionMoments::kQuantities;

  // One quantity compared: A's and B's values, B - A with the paired interval, and the interval
  // the same data would give as two independent runs.
  struct Difference {
    double a = 0;
    double b = 0;
    Estimate difference;
    std::optional<Interval> independent;
    bool operator==(const Difference&) const = default;
  };
  // One rate on each side alone, none on a side without a denominator: what a row shows where
  // no difference can be made (a placement only one configuration has).
  struct Rates {
    std::optional<double> a;
    std::optional<double> b;
    bool operator==(const Rates&) const = default;
  };
  struct Row {
    std::optional<Difference> fillRate;  // none unless both sides had requests
    std::optional<Difference> showRate;  // none unless both sides had opportunities
    Rates fillRates;
    Rates showRates;
    Difference requestsPerSession;
    Difference showsPerSession;
    Difference rewardsPerSession;
    bool operator==(const Row&) const = default;
  };

  // One seed: the statistics of its session under A and under B.
  void add(const SessionStatistics& a, const SessionStatistics& b);
  // Another comparison of the same two configurations on other seeds.
  void merge(const PairedComparison& other);

  [[nodiscard]] std::uint64_t sessions() const { return sessions_; }
  [[nodiscard]] const SessionStatistics& totalsA() const { return totalsA_; }
  [[nodiscard]] const SessionStatistics& totalsB() const { return totalsB_; }
  // One side's sums alone, as a run of that configuration alone would have them.
  [[nodiscard]] SessionMoments momentsA() const { return side(0); }
  [[nodiscard]] SessionMoments momentsB() const { return side(SessionMoments::kQuantities); }

  // The comparison of every placement (network) either side had, in name order.
  [[nodiscard]] std::map<std::string, Row> placements() const;
  [[nodiscard]] std::map<std::string, Row> networks() const;
  // One row from its sums over sessions.
  [[nodiscard]] static Row compare(const MomentSums& sums, std::uint64_t sessions);

  // The mergeable state, as a shard stores it.
  [[nodiscard]] const std::map<std::string, MomentSums>& placementSums() const {
    return placementSums_;
  }
  [[nodiscard]] const std::map<std::string, MomentSums>& networkSums() const {
    return networkSums_;
  }
  // A comparison from a stored state; none when a row's sums do not have kQuantities quantities.
  [[nodiscard]] static std::optional<PairedComparison> fromState(
      std::uint64_t sessions, SessionStatistics totalsA, SessionStatistics totalsB,
      std::map<std::string, MomentSums> placementSums,
      std::map<std::string, MomentSums> networkSums);

  bool operator==(const PairedComparison&) const = default;

 private:
  [[nodiscard]] SessionMoments side(std::size_t first) const;

  std::uint64_t sessions_ = 0;
  SessionStatistics totalsA_;
  SessionStatistics totalsB_;
  std::map<std::string, MomentSums> placementSums_;
  std::map<std::string, MomentSums> networkSums_;
};

}  // namespace QVRAdKit::Sandbox
