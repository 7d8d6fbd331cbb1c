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
  if (sessions >= 2) {
    estimate.interval =
        ConfidenceIntervals::normal(estimate.value, row.covariance(quantity, quantity, sessions) /
                                                        static_cast<double>(sessions));
    if (estimate.interval) estimate.interval->low = std::max(0.0, estimate.interval->low);
  }
  return estimate;
}

}  // namespace QVRAdKit::Sandbox
