#include "Sandbox/MonteCarlo/PairedComparison.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

namespace QVRAdKit::Sandbox {
namespace {

using Quantity = SessionMoments::Quantity;
constexpr std::size_t kB = SessionMoments::kQuantities;  // B's quantities start here

using Rows = std::map<std::string, SessionStatistics::Row>;

void addPairs(const Rows& a, const Rows& b, std::map<std::string, MomentSums>& sums) {
  auto addRow = [&sums](const std::string& name, const SessionStatistics::Row* rowA,
                        const SessionStatistics::Row* rowB) {
    std::array<std::uint64_t, PairedComparison::kQuantities> values{};
    if (rowA) {
      const auto quantities = SessionMoments::quantitiesOf(*rowA);
      std::copy(quantities.begin(), quantities.end(), values.begin());
    }
    if (rowB) {
      const auto quantities = SessionMoments::quantitiesOf(*rowB);
      std::copy(quantities.begin(), quantities.end(), values.begin() + kB);
    }
    auto found = sums.find(name);
    if (found == sums.end()) {
      found = sums.emplace(name, MomentSums(PairedComparison::kQuantities)).first;
    }
    found->second.add(values);
  };
  for (const auto& [name, rowA] : a) {
    const auto inB = b.find(name);
    addRow(name, &rowA, inB == b.end() ? nullptr : &inB->second);
  }
  for (const auto& [name, rowB] : b) {
    if (!a.contains(name)) addRow(name, nullptr, &rowB);
  }
}

// The variance of the mean of sum_k c_k x_k over sessions, from the sample covariances; with
// independent set, the covariances between A's and B's quantities are left out.
double varianceOfMean(const MomentSums& sums, std::uint64_t sessions,
                      const std::array<double, PairedComparison::kQuantities>& c,
                      bool independent) {
  double variance = 0;
  double magnitude = 0;
  for (std::size_t i = 0; i < c.size(); ++i) {
    if (c[i] == 0) continue;
    for (std::size_t j = 0; j < c.size(); ++j) {
      if (c[j] == 0 || (independent && (i < kB) != (j < kB))) continue;
      const double term = c[i] * c[j] * sums.covariance(i, j, sessions);
      variance += term;
      magnitude += std::fabs(term);
    }
  }
  // Sides that moved alike in every seed cancel exactly, but the terms' sum keeps their rounding:
  // a residue, even below 0, that would read as a spread or as none at all.
  constexpr double kRounding = 1e-12;
  if (std::fabs(variance) <= kRounding * magnitude) return 0;
  return variance / static_cast<double>(sessions);
}

// One side's sums (A's from 0, B's from kB), as that side's own run keeps them.
MomentSums sideOf(const MomentSums& sums, std::size_t first) {
  constexpr std::size_t k = SessionMoments::kQuantities;
  std::vector<std::uint64_t> sideSums(k);
  std::vector<std::uint64_t> sideProducts;
  sideProducts.reserve(k * (k + 1) / 2);
  for (std::size_t i = 0; i < k; ++i) {
    sideSums[i] = sums.sum(first + i);
    for (std::size_t j = i; j < k; ++j) sideProducts.push_back(sums.product(first + i, first + j));
  }
  MomentSums side;
  // The sizes are those of k quantities by construction.
  (void)MomentSums::fromState(std::move(sideSums), std::move(sideProducts), side);
  return side;
}

// B - A of a mean per session. Paired: Student's t on the per-seed differences. Independent: each
// side's interval as its run alone prints it (Student's t cut at 0, Wilson's for counts of two
// neighbouring values, the width the unseen sessions leave for a count every session shared),
// combined as two independent estimates are (the rates' method with r = 0); so a count no session
// changed is not taken for one two unrelated runs would certainly find equal.
PairedComparison::Difference meanDifference(const MomentSums& sums, std::uint64_t sessions,
                                            Quantity quantity) {
  std::array<double, PairedComparison::kQuantities> c{};
  c[quantity] = -1;
  c[kB + quantity] = 1;
  PairedComparison::Difference difference;
  const auto a = SessionMoments::mean(sideOf(sums, 0), quantity, sessions);
  const auto b = SessionMoments::mean(sideOf(sums, kB), quantity, sessions);
  difference.a = a ? a->value : 0;
  difference.b = b ? b->value : 0;
  const double d = difference.b - difference.a;
  difference.difference.value = d;
  if (sessions < 2) return difference;
  difference.difference.interval =
      ConfidenceIntervals::meanOf(d, varianceOfMean(sums, sessions, c, false), sessions);
  if (a && b && a->interval && b->interval) {
    const double downB = b->value - b->interval->low;
    const double upA = a->interval->high - a->value;
    const double upB = b->interval->high - b->value;
    const double downA = a->value - a->interval->low;
    difference.independent = Interval{d - std::sqrt(downB * downB + upA * upA),
                                      d + std::sqrt(upB * upB + downA * downA)};
  }
  return difference;
}

// sum(part) / sum(whole) on each side that has a whole.
PairedComparison::Rates ratesOf(const MomentSums& sums, Quantity part, Quantity whole) {
  auto rate = [&sums](std::size_t partAt, std::size_t wholeAt) -> std::optional<double> {
    if (sums.sum(wholeAt) == 0) return std::nullopt;
    return static_cast<double>(sums.sum(partAt)) / static_cast<double>(sums.sum(wholeAt));
  };
  return {rate(part, whole), rate(kB + part, kB + whole)};
}

// One side's rate R = sum(part) / sum(whole), the linear terms of R per session by the delta
// method (Var(R) ~ Var(sum_k c_k x_k) / n), and the Wilson interval of R on its effective number of
// trials p(1 - p) / Var(R), or on its count of wholes where the spread says nothing (a rate of 0
// or 1, or every session alike). The interval takes Student's t for the normal quantile, as the
// means' intervals do: Wilson's interval depends on z^2 / n only, so t on n trials is z on
// n (z / t)^2 trials.
struct SideRate {
  double rate = 0;
  std::array<double, PairedComparison::kQuantities> c{};
  double variance = 0;  // of R, by the delta method
  Interval interval;
};

SideRate sideRate(const MomentSums& sums, std::uint64_t sessions, std::size_t part,
                  std::size_t whole, double t) {
  SideRate side;
  const auto wholes = static_cast<double>(sums.sum(whole));
  side.rate = static_cast<double>(sums.sum(part)) / wholes;
  const double meanWhole = sums.mean(whole, sessions);
  side.c[part] = 1 / meanWhole;
  side.c[whole] = -side.rate / meanWhole;
  side.variance = varianceOfMean(sums, sessions, side.c, false);
  const bool spread = side.rate > 0 && side.rate < 1 && side.variance > 0;
  const double trials = spread ? side.rate * (1 - side.rate) / side.variance : wholes;
  const double scale = (kZ95 / t) * (kZ95 / t);
  side.interval = ConfidenceIntervals::wilsonOfEffectiveTrials(side.rate, trials * scale)
                      .value_or(Interval{side.rate, side.rate});
  return side;
}

// B - A of two rates, its interval by the method of variance estimates recovery (Newcombe's
// interval for paired proportions): each side's own Wilson interval, combined with the
// correlation r of the two ratio estimators over the paired sessions,
//   low  = d - sqrt((B - lowB)^2 + (highA - A)^2 - 2 r (B - lowB)(highA - A))
//   high = d + sqrt((highB - B)^2 + (A - lowA)^2 - 2 r (highB - B)(A - lowA)).
// Where the sides' intervals are symmetric this is the delta method's interval of R_B - R_A;
// near 0 and 100% it keeps Wilson's bounds, so a difference never reaches past what the rates
// allow (a B that never fills is at most A's upper bound below A, not -104 points). The
// independent interval is the same with r = 0. Sides that moved alike in every seed, the same
// configuration on both, give exactly [0, 0], as the means do.
std::optional<PairedComparison::Difference> rateDifference(const MomentSums& sums,
                                                           std::uint64_t sessions, Quantity part,
                                                           Quantity whole) {
  if (sums.sum(whole) == 0 || sums.sum(kB + whole) == 0) return std::nullopt;
  PairedComparison::Difference difference;
  const double t =
      sessions >= kMinSessionsForSpread ? ConfidenceIntervals::studentT95(sessions) : kZ95;
  const SideRate a = sideRate(sums, sessions, part, whole, t);
  const SideRate b = sideRate(sums, sessions, kB + part, kB + whole, t);
  difference.a = a.rate;
  difference.b = b.rate;
  const double d = b.rate - a.rate;
  difference.difference.value = d;
  if (sessions < kMinSessionsForSpread) return difference;

  std::array<double, PairedComparison::kQuantities> c{};
  for (std::size_t i = 0; i < c.size(); ++i) c[i] = b.c[i] - a.c[i];
  const double varianceA = a.variance;
  const double varianceB = b.variance;
  const double varianceD = varianceOfMean(sums, sessions, c, false);
  // Var(B - A) = Var(A) + Var(B) - 2 Cov(A, B).
  const double r =
      varianceA > 0 && varianceB > 0
          ? std::clamp((varianceA + varianceB - varianceD) / (2 * std::sqrt(varianceA * varianceB)),
                       -1.0, 1.0)
          : 0.0;
  auto combined = [&](double correlation) {
    const double downB = b.rate - b.interval.low;
    const double upA = a.interval.high - a.rate;
    const double upB = b.interval.high - b.rate;
    const double downA = a.rate - a.interval.low;
    const double below = downB * downB + upA * upA - 2 * correlation * downB * upA;
    const double above = upB * upB + downA * downA - 2 * correlation * upB * downA;
    return Interval{d - std::sqrt(std::max(0.0, below)), d + std::sqrt(std::max(0.0, above))};
  };
  difference.difference.interval = varianceD == 0 && d == 0 ? Interval{0, 0} : combined(r);
  difference.independent = combined(0);
  return difference;
}

std::map<std::string, PairedComparison::Row> compareAll(
    const std::map<std::string, MomentSums>& rows, std::uint64_t sessions) {
  std::map<std::string, PairedComparison::Row> compared;
  for (const auto& [name, sums] : rows)
    compared.emplace(name, PairedComparison::compare(sums, sessions));
  return compared;
}

}  // namespace

void PairedComparison::add(const SessionStatistics& a, const SessionStatistics& b) {
  addPairs(a.placements, b.placements, placementSums_);
  addPairs(a.networks, b.networks, networkSums_);
  totalsA_.merge(a);
  totalsB_.merge(b);
  ++sessions_;
}

void PairedComparison::merge(const PairedComparison& other) {
  mergeNamedSums(other.placementSums_, placementSums_);
  mergeNamedSums(other.networkSums_, networkSums_);
  totalsA_.merge(other.totalsA_);
  totalsB_.merge(other.totalsB_);
  sessions_ += other.sessions_;
}

PairedComparison::Row PairedComparison::compare(const MomentSums& sums, std::uint64_t sessions) {
  Row row;
  if (sums.quantities() != kQuantities || sessions == 0) return row;
  row.fillRate = rateDifference(sums, sessions, Quantity::fills, Quantity::requests);
  row.showRate = rateDifference(sums, sessions, Quantity::shows, Quantity::opportunities);
  row.fillRates = ratesOf(sums, Quantity::fills, Quantity::requests);
  row.showRates = ratesOf(sums, Quantity::shows, Quantity::opportunities);
  row.requestsPerSession = meanDifference(sums, sessions, Quantity::requests);
  row.showsPerSession = meanDifference(sums, sessions, Quantity::shows);
  row.rewardsPerSession = meanDifference(sums, sessions, Quantity::rewards);
  return row;
}

std::map<std::string, PairedComparison::Row> PairedComparison::placements() const {
  return compareAll(placementSums_, sessions_);
}

std::map<std::string, PairedComparison::Row> PairedComparison::networks() const {
  return compareAll(networkSums_, sessions_);
}

SessionMoments PairedComparison::side(std::size_t first) const {
  const SessionStatistics& totals = first == 0 ? totalsA_ : totalsB_;
  // Only the rows this side had: the others' sums here are zeros that its own run would not have.
  auto extract = [first](const std::map<std::string, MomentSums>& rows,
                         const std::map<std::string, SessionStatistics::Row>& own,
                         std::map<std::string, MomentSums>& into) {
    for (const auto& [name, sums] : rows) {
      if (own.contains(name)) into.emplace(name, sideOf(sums, first));
    }
  };
  SessionMoments moments;
  extract(placementSums_, totals.placements, moments.placements);
  extract(networkSums_, totals.networks, moments.networks);
  return moments;
}

std::optional<PairedComparison> PairedComparison::fromState(
    std::uint64_t sessions, SessionStatistics totalsA, SessionStatistics totalsB,
    std::map<std::string, MomentSums> placementSums,
    std::map<std::string, MomentSums> networkSums) {
  for (const auto* rows : {&placementSums, &networkSums}) {
    for (const auto& [name, sums] : *rows) {
      if (sums.quantities() != kQuantities) return std::nullopt;
    }
  }
  PairedComparison comparison;
  comparison.sessions_ = sessions;
  comparison.totalsA_ = std::move(totalsA);
  comparison.totalsB_ = std::move(totalsB);
  comparison.placementSums_ = std::move(placementSums);
  comparison.networkSums_ = std::move(networkSums);
  return comparison;
}

}  // namespace QVRAdKit::Sandbox
