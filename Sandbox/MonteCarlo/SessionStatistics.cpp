#include "Sandbox/MonteCarlo/SessionStatistics.h"

namespace QVRAdKit::Sandbox {
namespace {

std::optional<double> ratio(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) return std::nullopt;
  return static_cast<double>(part) / static_cast<double>(whole);
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
  for (const auto& [name, row] : other.placements) placements[name].merge(row);
  for (const auto& [name, row] : other.networks) networks[name].merge(row);
}

}  // namespace QVRAdKit::Sandbox
