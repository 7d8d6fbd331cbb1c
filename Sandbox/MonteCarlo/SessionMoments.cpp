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
  if (sessions < kMinSessionsForSpread) return estimate;
  // Counts of two neighbouring values only, c and c + 1, are c plus a yes-or-no draw (a
  // placement that shows at most once, a reward nearly every session has): the share of c + 1 is
  // a proportion, whose Wilson interval stays sound where the spread of a few deviating sessions
  // is itself too uncertain. Integer counts of mean c + k / n have a spread of at least that of
  // those two values, and only they have exactly that spread, so the sums tell them apart.
  const std::uint64_t sum = row.sum(quantity);
  const std::uint64_t base = sum / sessions;
  const std::uint64_t above = sum % sessions;
  // The smallest sum of squares those sums allow: never above the real one, so no overflow.
  const bool twoValues =
      row.product(quantity, quantity) == sessions * base * base + 2 * base * above + above;
  if (twoValues && above > 0) {
    const auto share = ConfidenceIntervals::wilson(above, sessions);
    estimate.interval =
        Interval{static_cast<double>(base) + share->low, static_cast<double>(base) + share->high};
    return estimate;
  }
  if (twoValues) {
    // Every session counted c: a rare event never seen, or a count nearly always the same. The
    // interval is what the sessions not seen to differ leave open, not a point.
    const double bound = ConfidenceIntervals::sameCountBound(sessions);
    estimate.interval = Interval{std::max(0.0, estimate.value - bound), estimate.value + bound};
    return estimate;
  }
  estimate.interval = ConfidenceIntervals::meanOf(
      estimate.value, row.covariance(quantity, quantity, sessions) / static_cast<double>(sessions),
      sessions);
  if (estimate.interval) estimate.interval->low = std::max(0.0, estimate.interval->low);
  return estimate;
}

std::optional<Interval> SessionMoments::rate(const MomentSums& row, Quantity part, Quantity whole,
                                             std::uint64_t sessions) {
  const std::uint64_t successes = row.sum(part);
  const std::uint64_t trials = row.sum(whole);
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
