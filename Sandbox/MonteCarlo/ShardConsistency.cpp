#include "Sandbox/MonteCarlo/ShardConsistency.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace QVRAdKit::Sandbox {
namespace {

// Products of two 64-bit numbers, and sums of many, without overflow.
__extension__ typedef unsigned __int128 Wide;

using StatisticsRows = std::map<std::string, SessionStatistics::Row>;
using NamedSums = std::map<std::string, MomentSums>;
using Quantity = SessionMoments::Quantity;
constexpr std::size_t kSide = SessionMoments::kQuantities;
// A per-session quantity is below this (MomentSums refuses more).
constexpr std::uint64_t kSessionQuantityLimit = std::uint64_t{1} << 32;

// The first broken fact: problem() returns its text.
struct Broken {
  std::string what;
};

[[noreturn]] void broken(std::string what) {
  throw Broken{std::move(what)};
}

std::string at(std::string_view where, const std::string& name) {
  return std::string(where) + "." + name;
}

bool isFingerprint(const std::string& text) {
  if (text.size() != 16) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Placements ("interstitial.connect") and networks ("admob") are named by identifiers.
bool isRowName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

void checkSeeds(const TrialShard& shard) {
  const MonteCarloReport& report = shard.report;
  if (shard.requestedFirst > shard.requestedLast) {
    broken("\"requested\" runs backwards (" + std::to_string(shard.requestedFirst) + " after " +
           std::to_string(shard.requestedLast) + ")");
  }
  if (report.sessions == 0) {
    if (!report.stopped) broken("it played no seed of those requested, yet did not stop early");
    return;
  }
  if (report.firstSeed != shard.requestedFirst) {
    broken("the seeds played do not start at the first one requested");
  }
  // Played: first .. first + sessions - 1, inside the requested range (so below 2^64).
  if (report.sessions - 1 > shard.requestedLast - report.firstSeed) {
    broken("it played more seeds than it was asked for");
  }
  if (report.sessions - 1 < shard.requestedLast - report.firstSeed && !report.stopped) {
    broken("it played fewer seeds than it was asked for, yet did not stop early");
  }
}

void checkRows(const StatisticsRows& rows, std::string_view where, bool placements) {
  for (const auto& [name, row] : rows) {
    if (!isRowName(name)) broken(std::string(where) + " holds a row name that no run writes");
    const std::string place = at(where, name);
    if (row.fills > row.requests || row.failures > row.requests - row.fills) {
      broken(place + ": more fills and failures than requests");
    }
    if (row.loadLatency.sampleCount() != row.fills) {
      broken(place + ": the latency histogram does not count the fills");
    }
    if (placements && row.shows > row.opportunities) {
      broken(place + ": more shows than opportunities");
    }
    if (!placements && row.opportunities != 0) broken(place + ": a network with opportunities");
  }
}

// Every request and answer counts for one placement and one network.
void checkPlacementsMatchNetworks(const SessionStatistics& statistics, std::string_view where) {
  struct Added {
    Wide requests = 0;
    Wide fills = 0;
    Wide failures = 0;
  };
  auto add = [](const StatisticsRows& rows) {
    Added added;
    for (const auto& [name, row] : rows) {
      added.requests += row.requests;
      added.fills += row.fills;
      added.failures += row.failures;
    }
    return added;
  };
  const Added placements = add(statistics.placements);
  const Added networks = add(statistics.networks);
  if (placements.requests != networks.requests || placements.fills != networks.fills ||
      placements.failures != networks.failures) {
    broken(std::string(where) + ": the placements and the networks count other requests");
  }
  // The fills fit 64 bits, so no merged bucket count can pass them.
  if (placements.fills > UINT64_MAX) broken(std::string(where) + ": counts beyond 2^64");
  LatencyHistogram placementLatency;
  LatencyHistogram networkLatency;
  for (const auto& [name, row] : statistics.placements) placementLatency.merge(row.loadLatency);
  for (const auto& [name, row] : statistics.networks) networkLatency.merge(row.loadLatency);
  if (!(placementLatency == networkLatency)) {
    broken(std::string(where) + ": the placements and the networks hold other load durations");
  }
}

// Sums over `sessions` sessions of k whole numbers below 2^32 each (quantities first .. first+4 of
// one side), of which per session fills <= requests and, for a placement, shows <= opportunities.
void checkMoments(const MomentSums& sums, std::uint64_t sessions, std::size_t first, bool placement,
                  const std::string& place) {
  const std::size_t k = sums.quantities();
  for (std::size_t i = first; i < first + kSide; ++i) {
    const Wide sum = sums.sum(i);
    const Wide squares = sums.product(i, i);
    const bool fits = sum <= squares && squares <= sum * sum && squares * sessions >= sum * sum &&
                      squares <= sum * (kSessionQuantityLimit - 1) && (squares - sum) % 2 == 0;
    if (!fits) broken(place + ": per-session sums that no sessions add up to");
    for (std::size_t j = 0; j < k; ++j) {
      const Wide product = sums.product(i, j);
      if (product * product > squares * sums.product(j, j)) {
        broken(place + ": per-session sums that no sessions add up to");
      }
    }
  }
  for (std::size_t j = 0; j < k; ++j) {
    if (sums.product(first + Quantity::fills, j) > sums.product(first + Quantity::requests, j) ||
        (placement && sums.product(first + Quantity::shows, j) >
                          sums.product(first + Quantity::opportunities, j))) {
      broken(place +
             ": per-session sums with more fills than requests or shows than opportunities");
    }
  }
}

// The per-session sums of one side (its quantities at first..first+4) against that side's totals.
// In a comparison (paired) a row may be the other side's alone: this side has zeros there.
void checkSide(const NamedSums& sums, const StatisticsRows& totals, std::uint64_t sessions,
               std::size_t first, bool placements, bool paired, std::string_view where) {
  for (const auto& [name, row] : sums) {
    const std::string place = at(where, name);
    const auto total = totals.find(name);
    if (total == totals.end()) {
      if (!paired) broken(place + ": sums of a row that the totals lack");
      for (std::size_t i = first; i < first + kSide; ++i) {
        for (std::size_t j = 0; j < row.quantities(); ++j) {
          if (row.product(i, j) != 0) broken(place + ": sums of a row that the totals lack");
        }
      }
      continue;
    }
    const auto quantities = SessionMoments::quantitiesOf(total->second);
    for (std::size_t i = 0; i < kSide; ++i) {
      if (row.sum(first + i) != quantities[i]) {
        broken(place + ": the per-session sums do not add up to the totals");
      }
    }
    checkMoments(row, sessions, first, placements, place);
  }
  for (const auto& [name, row] : totals) {
    if (!sums.contains(name)) broken(at(where, name) + ": a row without per-session sums");
  }
}

void checkComparison(const TrialShard& shard) {
  const MonteCarloReport& report = shard.report;
  const PairedComparison& comparison = *report.comparison;
  if (!(comparison.totalsA() == report.totals)) {
    broken("state.comparison.a: not the totals of the shard's own configuration");
  }
  if (!(comparison.momentsA() == report.perSession)) {
    broken("state.comparison: its A side is not the shard's per-session sums");
  }
  const SessionStatistics& b = comparison.totalsB();
  checkRows(b.placements, "state.comparison.b.placements", true);
  checkRows(b.networks, "state.comparison.b.networks", false);
  checkPlacementsMatchNetworks(b, "state.comparison.b");
  const std::uint64_t n = report.sessions;
  const std::array<std::pair<const NamedSums*, const char*>, 2> kinds = {
      {{&comparison.placementSums(), "state.comparison.placements"},
       {&comparison.networkSums(), "state.comparison.networks"}}};
  for (const auto& [sums, where] : kinds) {
    const bool placements = sums == &comparison.placementSums();
    const StatisticsRows& a =
        placements ? comparison.totalsA().placements : comparison.totalsA().networks;
    const StatisticsRows& rowsB = placements ? b.placements : b.networks;
    checkSide(*sums, a, n, 0, placements, true, where);
    checkSide(*sums, rowsB, n, kSide, placements, true, where);
    for (const auto& [name, row] : *sums) {
      if (!a.contains(name) && !rowsB.contains(name)) {
        broken(at(where, name) + ": a row neither side has");
      }
    }
  }
}

void checkShard(const TrialShard& shard) {
  const MonteCarloReport& report = shard.report;
  if (!isFingerprint(shard.configuration) ||
      (shard.candidate && !isFingerprint(*shard.candidate))) {
    broken("a configuration fingerprint that is not 16 hex digits");
  }
  if (!std::isfinite(report.sessionSeconds) || report.sessionSeconds <= 0 ||
      report.sessionSeconds > ShardConsistency::kMaxSessionSeconds) {
    broken("\"sessionSeconds\" is not a session length a run plays (more than 0, at most a week)");
  }
  checkSeeds(shard);
  if (report.sessions == 0) {
    const bool empty = report.totals.placements.empty() && report.totals.networks.empty() &&
                       report.perSession.placements.empty() && report.perSession.networks.empty() &&
                       (!report.comparison || (report.comparison->placementSums().empty() &&
                                               report.comparison->networkSums().empty() &&
                                               report.comparison->totalsB().placements.empty() &&
                                               report.comparison->totalsB().networks.empty()));
    if (!empty) broken("it played no seed, yet holds counts");
  }
  checkRows(report.totals.placements, "state.totals.placements", true);
  checkRows(report.totals.networks, "state.totals.networks", false);
  checkPlacementsMatchNetworks(report.totals, "state.totals");
  checkSide(report.perSession.placements, report.totals.placements, report.sessions, 0, true, false,
            "state.perSession.placements");
  checkSide(report.perSession.networks, report.totals.networks, report.sessions, 0, false, false,
            "state.perSession.networks");
  if (report.comparison) checkComparison(shard);
}

}  // namespace

std::optional<std::string> ShardConsistency::problem(const TrialShard& shard) {
  try {
    checkShard(shard);
  } catch (const Broken& fault) {
    return fault.what;
  }
  return std::nullopt;
}

}  // namespace QVRAdKit::Sandbox
