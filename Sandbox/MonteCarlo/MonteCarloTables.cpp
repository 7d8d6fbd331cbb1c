#include "Sandbox/MonteCarlo/MonteCarloTables.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "Sandbox/Text/Format.h"

namespace QVRAdKit::Sandbox {
namespace {

using Text::format;

std::string percent(std::optional<double> rate) {
  return rate ? format("%.1f%%", *rate * 100) : std::string("-");
}

std::string milliseconds(std::optional<std::int64_t> value) {
  return value ? std::to_string(*value) : std::string("-");
}

unsigned long long count(std::uint64_t value) {
  return static_cast<unsigned long long>(value);
}

// Rates rounded to four decimals, so the JSON stays readable and identical across platforms.
nlohmann::ordered_json rate(std::optional<double> value) {
  if (!value) return nullptr;
  return std::round(*value * 10000) / 10000;
}

nlohmann::ordered_json latency(std::optional<std::int64_t> value) {
  if (!value) return nullptr;
  return *value;
}

nlohmann::ordered_json row(const char* label, const std::string& name,
                           const SessionStatistics::Row& row, bool placement) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object[label] = name;
  object["requests"] = row.requests;
  object["fills"] = row.fills;
  object["failures"] = row.failures;
  object["fillRate"] = rate(row.fillRate());
  object["loadLatencyMs"] = {{"p50", latency(row.loadLatency.percentile(50))},
                             {"p90", latency(row.loadLatency.percentile(90))}};
  if (placement) {
    object["opportunities"] = row.opportunities;
    object["shows"] = row.shows;
    object["showRate"] = rate(row.showRate());
  } else {
    object["shows"] = row.shows;
  }
  object["rewards"] = row.rewards;
  return object;
}

}  // namespace

std::string MonteCarloTables::text(const MonteCarloReport& report) {
  const SessionStatistics& totals = report.totals;
  std::string out;
  if (report.sessions == 0) {
    out += format("Monte Carlo: no session of %.0f simulated minutes ended, from seed %llu%s\n",
                  report.sessionSeconds / 60, count(report.firstSeed),
                  report.stopped ? " (stopped)" : "");
  } else {
    out += format("Monte Carlo: %llu sessions of %.0f simulated minutes, seeds %llu to %llu%s\n",
                  count(report.sessions), report.sessionSeconds / 60, count(report.firstSeed),
                  count(report.firstSeed + report.sessions - 1),
                  report.stopped ? " (stopped early)" : "");
  }
  out += format("%-24s %9s %9s %7s %8s %8s %7s %7s %7s %8s\n", "Placement", "requests", "fills",
                "fill", "p50 ms", "p90 ms", "opport.", "shows", "show", "rewards");
  for (const auto& [name, row] : totals.placements) {
    out += format("  %-22s %9llu %9llu %7s %8s %8s %7llu %7llu %7s %8llu\n", name.c_str(),
                  count(row.requests), count(row.fills), percent(row.fillRate()).c_str(),
                  milliseconds(row.loadLatency.percentile(50)).c_str(),
                  milliseconds(row.loadLatency.percentile(90)).c_str(), count(row.opportunities),
                  count(row.shows), percent(row.showRate()).c_str(), count(row.rewards));
  }
  out += format("%-24s %9s %9s %7s %8s %8s %7s %7s %7s %8s\n", "Network", "requests", "fills",
                "fill", "p50 ms", "p90 ms", "", "shows", "", "rewards");
  if (totals.networks.empty()) out += "  (no ad requests)\n";
  for (const auto& [name, row] : totals.networks) {
    out += format("  %-22s %9llu %9llu %7s %8s %8s %7s %7llu %7s %8llu\n", name.c_str(),
                  count(row.requests), count(row.fills), percent(row.fillRate()).c_str(),
                  milliseconds(row.loadLatency.percentile(50)).c_str(),
                  milliseconds(row.loadLatency.percentile(90)).c_str(), "", count(row.shows), "",
                  count(row.rewards));
  }
  return out;
}

std::string MonteCarloTables::json(const MonteCarloReport& report) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["sessions"] = report.sessions;
  object["seed"] = report.firstSeed;
  object["minutes"] = report.sessionSeconds / 60;
  object["stopped"] = report.stopped;
  object["placements"] = nlohmann::ordered_json::array();
  for (const auto& [name, values] : report.totals.placements) {
    object["placements"].push_back(row("placement", name, values, true));
  }
  object["networks"] = nlohmann::ordered_json::array();
  for (const auto& [name, values] : report.totals.networks) {
    object["networks"].push_back(row("network", name, values, false));
  }
  return object.dump();
}

}  // namespace QVRAdKit::Sandbox
