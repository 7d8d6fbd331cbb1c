#include "Sandbox/MonteCarlo/SessionStatistics.h"

#include <map>
#include <string>

namespace QVRAdKit::Sandbox {
namespace {

std::optional<double> ratio(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) return std::nullopt;
  return static_cast<double>(part) / static_cast<double>(whole);
}

// Both maps are in name order, so each row of `from` is found by walking on from where the previous
// one was rather than by a search from the root: a session's rows are nearly all in the totals.
void mergeRows(std::map<std::string, SessionStatistics::Row>& into,
               const std::map<std::string, SessionStatistics::Row>& from) {
  auto at = into.begin();
  for (const auto& [name, row] : from) {
    while (at != into.end() && at->first < name) ++at;
    if (at == into.end() || at->first != name)
      at = into.emplace_hint(at, name, SessionStatistics::Row{});
    at->second.merge(row);
  }
}

}  // namespace

void SessionStatistics::Row::merge(const Row& other) {
  requests += other.requests;
  fills += other.fills;
  failures += other.failures;
  loadLatency.merge(other.loadLatency);
  opportunities += other.opportunities;
  shows += other.shows;
  rewards += other.rewards;
}

void SessionStatistics::Row::clear() {
  requests = fills = failures = opportunities = shows = rewards = 0;
  loadLatency.clear();
}

std::optional<double> SessionStatistics::Row::fillRate() const {
  return ratio(fills, requests);
}

std::optional<double> SessionStatistics::Row::showRate() const {
  return ratio(shows, opportunities);
}

void SessionStatistics::merge(const SessionStatistics& other) {
  mergeRows(placements, other.placements);
  mergeRows(networks, other.networks);
}

}  // namespace QVRAdKit::Sandbox
