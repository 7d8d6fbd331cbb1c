#include "Sandbox/MonteCarlo/SessionMoments.h"

#include <algorithm>

#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"

namespace QVRAdKit::Sandbox {
namespace {

void addRows(const std::map<std::string, SessionStatistics::Row>& rows,
             std::map<std::string, MomentSums>& sums) {
  for (const auto& [name, row] : rows) {
    auto found = sums.find(name);
    if (found == sums.end()) {
      found = sums.emplace(name, MomentSums(SessionMoments::kQuantities)).first;
    }
    found->second.add(SessionMoments::quantitiesOf(row));
  }
}

}  // namespace

std::array<std::uint64_t, SessionMoments::kQuantities> SessionMoments::quantitiesOf(
    const SessionStatistics::Row& row) {
  return {row.requests, row.fills, row.opportunities, row.shows, row.rewards};
}

void SessionMoments::add(const SessionStatistics& session) {
  addRows(session.placements, placements);
  addRows(session.networks, networks);
}

void SessionMoments::merge(const SessionMoments& other) {
  mergeNamedSums(other.placements, placements);
  mergeNamedSums(other.networks, networks);
}

std::optional<Estimate> SessionMoments::mean(const MomentSums& row, Quantity quantity,
                                             std::uint64_t sessions) {
  if (sessions == 0) return std::nullopt;
  Estimate estimate{row.mean(quantity, sessions), std::nullopt};
  const double variance = row.covariance(quantity, quantity, sessions);
  // Counts that were all the same have no spread to measure: a rare event never seen, or a
  // count that is nearly always the same. Their interval is what the sessions not seen to differ
  // leave open, not a point.
  const double half = variance == 0 ? ConfidenceIntervals::sameCountBound(sessions) : 0.0;
  estimate.interval = ConfidenceIntervals::meanOf(
      estimate.value, variance / static_cast<double>(sessions), sessions);
  if (estimate.interval) {
    estimate.interval->low = std::max(0.0, estimate.interval->low - half);
    estimate.interval->high += half;
  }
  return estimate;
}

std::optional<Interval> SessionMoments::rate(const MomentSums& row, Quantity part, Quantity whole,
                                             std::uint64_t sessions) {
  const std::uint64_t successes = row.quantities() > whole ? row.sum(part) : 0;
  const std::uint64_t trials = row.quantities() > whole ? row.sum(whole) : 0;
  if (trials == 0 || successes == 0 || successes >= trials || sessions < kMinSessionsForSpread) {
    return ConfidenceIntervals::wilson(successes, trials);
  }
  const double ratio = static_cast<double>(successes) / static_cast<double>(trials);
  const double meanWhole = row.mean(whole, sessions);
  // Var(R) ~ Var(x - R y) / (n mean(y)^2), x the part and y the whole per session.
  const double spread = row.covariance(part, part, sessions) -
                        2 * ratio * row.covariance(part, whole, sessions) +
                        ratio * ratio * row.covariance(whole, whole, sessions);
  const double variance = spread / (static_cast<double>(sessions) * meanWhole * meanWhole);
  if (!(variance > 0)) return ConfidenceIntervals::wilson(successes, trials);
  return ConfidenceIntervals::wilsonOfEffectiveTrials(ratio, ratio * (1 - ratio) / variance);
}

}  // namespace QVRAdKit::Sandbox
