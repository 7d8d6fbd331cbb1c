#include "Sandbox/MonteCarlo/MonteCarloTables.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "Sandbox/MonteCarlo/ConfidenceIntervals.h"
#include "Sandbox/MonteCarlo/LatencyHistogram.h"
#include "Sandbox/MonteCarlo/TableFormat.h"

namespace QVRAdKit::Sandbox {
namespace {

using TableFormat::count;
using TableFormat::format;
using Quantity = SessionMoments::Quantity;

static_assert(kMinSessionsForSpread == 10, "the methods' texts name 10 sessions");

constexpr std::array<int, 3> kPercentiles = {50, 90, 99};
// The per-session quantities shown: placements have opportunities, networks do not, and fills
// per session say little next to the fill rate.
constexpr std::array<Quantity, 3> kPerSession = {Quantity::requests, Quantity::shows,
                                                 Quantity::rewards};

std::string milliseconds(std::optional<std::int64_t> value) {
  return value ? std::to_string(*value) : std::string("-");
}

// "75.0% (73.6-76.3)": the rate and its interval in percent; "-" without a denominator.
std::string rateWithInterval(std::uint64_t part, std::uint64_t whole,
                             const std::optional<Interval>& interval) {
  if (whole == 0 || !interval) return "-";
  const double rate = static_cast<double>(part) / static_cast<double>(whole);
  return format("%.1f%% (%.1f-%.1f)", rate * 100, interval->low * 100, interval->high * 100);
}

std::string meanWithInterval(const std::optional<Estimate>& estimate) {
  if (!estimate) return "-";
  if (!estimate->interval) return format("%.2f", estimate->value);
  return format("%.2f (%.2f to %.2f)", estimate->value, estimate->interval->low,
                estimate->interval->high);
}

const MomentSums& sumsOf(const std::map<std::string, MomentSums>& rows, const std::string& name) {
  static const MomentSums none(SessionMoments::kQuantities);
  const auto found = rows.find(name);
  return found == rows.end() ? none : found->second;
}

nlohmann::ordered_json row(const char* label, const std::string& name,
                           const SessionStatistics::Row& row, const MomentSums& sums,
                           std::uint64_t sessions, bool placement) {
  using TableFormat::interval;
  using TableFormat::rate;
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object[label] = name;
  object["requests"] = row.requests;
  object["fills"] = row.fills;
  object["failures"] = row.failures;
  object["fillRate"] = rate(row.fillRate());
  object["fillRateCI"] =
      interval(SessionMoments::rate(sums, Quantity::fills, Quantity::requests, sessions));
  nlohmann::ordered_json latency = nlohmann::ordered_json::object();
  for (int percent : kPercentiles) {
    const auto value = row.loadLatency.percentile(percent);
    std::string key("p");  // appended, not "p" + string: g++ 12 at -O3 warns falsely of overlap
    key += std::to_string(percent);
    latency[key] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
  }
  object["loadLatencyMs"] = latency;
  if (placement) object["opportunities"] = row.opportunities;
  object["shows"] = row.shows;
  if (placement) {
    object["showRate"] = rate(row.showRate());
    object["showRateCI"] =
        interval(SessionMoments::rate(sums, Quantity::shows, Quantity::opportunities, sessions));
  }
  object["rewards"] = row.rewards;
  nlohmann::ordered_json perSession = nlohmann::ordered_json::object();
  for (Quantity quantity : kPerSession) {
    const auto mean = SessionMoments::mean(sums, quantity, sessions);
    perSession[SessionMoments::kNames[quantity]] = {
        {"mean", mean ? rate(mean->value) : nlohmann::ordered_json(nullptr)},
        {"ci", mean ? interval(mean->interval) : nlohmann::ordered_json(nullptr)}};
  }
  object["perSession"] = perSession;
  return object;
}

std::string header(const MonteCarloReport& report) {
  if (report.sessions == 0) {
    return format("Monte Carlo: no session of %s ended, from seed %llu%s\n",
                  MonteCarloTables::simulatedMinutes(report.sessionSeconds).c_str(),
                  count(report.firstSeed), report.stopped ? " (stopped)" : "");
  }
  return format("Monte Carlo: %llu %s of %s, seeds %llu to %llu%s\n", count(report.sessions),
                report.sessions == 1 ? "session" : "sessions",
                MonteCarloTables::simulatedMinutes(report.sessionSeconds).c_str(),
                count(report.firstSeed), count(report.firstSeed + report.sessions - 1),
                report.stopped ? " (stopped early)" : "");
}

std::string latencies(const LatencyHistogram& latency) {
  std::string out;
  for (int percent : kPercentiles)
    out += format(" %7s", milliseconds(latency.percentile(percent)).c_str());
  return out;
}

std::string perSessionTable(const std::map<std::string, SessionStatistics::Row>& rows,
                            const std::map<std::string, MomentSums>& sums, std::uint64_t sessions) {
  std::string out;
  for (const auto& [name, ignored] : rows) {
    std::string line = format("  %-23s", name.c_str());
    for (Quantity quantity : kPerSession) {
      line += format(
          " %-24s",
          meanWithInterval(SessionMoments::mean(sumsOf(sums, name), quantity, sessions)).c_str());
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

}  // namespace

std::string MonteCarloTables::text(const MonteCarloReport& report) {
  const SessionStatistics& totals = report.totals;
  std::string out = header(report);
  out += format("%-24s %9s %9s %-19s %7s %7s %7s %7s %7s %-19s %8s\n", "Placement", "requests",
                "fills", "fill (95% CI)", "p50 ms", "p90 ms", "p99 ms", "opport.", "shows",
                "show (95% CI)", "rewards");
  const std::uint64_t sessions = report.sessions;
  for (const auto& [name, row] : totals.placements) {
    const MomentSums& sums = sumsOf(report.perSession.placements, name);
    out += format(
        "  %-22s %9llu %9llu %-19s%s %7llu %7llu %-19s %8llu\n", name.c_str(), count(row.requests),
        count(row.fills),
        rateWithInterval(row.fills, row.requests,
                         SessionMoments::rate(sums, Quantity::fills, Quantity::requests, sessions))
            .c_str(),
        latencies(row.loadLatency).c_str(), count(row.opportunities), count(row.shows),
        rateWithInterval(
            row.shows, row.opportunities,
            SessionMoments::rate(sums, Quantity::shows, Quantity::opportunities, sessions))
            .c_str(),
        count(row.rewards));
  }
  out += format("%-24s %9s %9s %-19s %7s %7s %7s %7s %7s %-19s %8s\n", "Network", "requests",
                "fills", "fill (95% CI)", "p50 ms", "p90 ms", "p99 ms", "", "shows", "", "rewards");
  if (totals.networks.empty()) out += "  (no ad requests)\n";
  for (const auto& [name, row] : totals.networks) {
    out +=
        format("  %-22s %9llu %9llu %-19s%s %7s %7llu %-19s %8llu\n", name.c_str(),
               count(row.requests), count(row.fills),
               rateWithInterval(row.fills, row.requests,
                                SessionMoments::rate(sumsOf(report.perSession.networks, name),
                                                     Quantity::fills, Quantity::requests, sessions))
                   .c_str(),
               latencies(row.loadLatency).c_str(), "", count(row.shows), "", count(row.rewards));
  }
  if (report.sessions > 0) {
    out +=
        format("%-25s %-24s %-24s %s\n", "Per session: mean (CI)", "requests", "shows", "rewards");
    out += perSessionTable(totals.placements, report.perSession.placements, report.sessions);
    out += perSessionTable(totals.networks, report.perSession.networks, report.sessions);
  }
  out += std::string(kMethods) + "\n";
  return out;
}

nlohmann::ordered_json MonteCarloTables::object(const MonteCarloReport& report) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["sessions"] = report.sessions;
  object["seed"] = report.firstSeed;
  object["minutes"] = report.sessionSeconds / 60;
  object["stopped"] = report.stopped;
  object["placements"] = nlohmann::ordered_json::array();
  for (const auto& [name, values] : report.totals.placements) {
    object["placements"].push_back(row("placement", name, values,
                                       sumsOf(report.perSession.placements, name), report.sessions,
                                       true));
  }
  object["networks"] = nlohmann::ordered_json::array();
  for (const auto& [name, values] : report.totals.networks) {
    object["networks"].push_back(row(
        "network", name, values, sumsOf(report.perSession.networks, name), report.sessions, false));
  }
  object["intervals"] = methods();
  return object;
}

std::string MonteCarloTables::simulatedMinutes(double seconds) {
  // Twelve significant digits: whole, 0.5, 0.25 exactly, without the last bits of seconds / 60.
  const std::string minutes = format("%.12g", seconds / 60);
  return minutes + (minutes == "1" ? " simulated minute" : " simulated minutes");
}

nlohmann::ordered_json MonteCarloTables::methods() {
  return {{"confidence", 0.95},
          {"rates", "wilson on effective trials from the spread over sessions"},
          {"perSession",
           "student t, sample standard deviation, cut at 0; wilson for two neighbouring values"},
          {"minSessions", kMinSessionsForSpread},
          {"latencyRelativeError", LatencyHistogram::kRelativeError}};
}

std::string MonteCarloTables::json(const MonteCarloReport& report) {
  return object(report).dump();
}

}  // namespace QVRAdKit::Sandbox
