#include "Sandbox/MonteCarlo/ComparisonTables.h"

#include <array>
#include <utility>

#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/TableFormat.h"

namespace QVRAdKit::Sandbox {
namespace {

using TableFormat::count;
using TableFormat::format;
using Difference = PairedComparison::Difference;
using Row = PairedComparison::Row;

using Rates = PairedComparison::Rates;

// A quantity of a compared row: its JSON key, its label in text, whether it is a rate, and (for
// rates) each side's own value, shown where no difference can be made.
struct Measure {
  const char* key;
  const char* label;
  bool rate;
  std::optional<Difference> (*of)(const Row&);
  Rates (*sides)(const Row&);
};

Rates noRates(const Row&) {
  return {};
}

const std::array<Measure, 5> kMeasures = {{
    {"fillRate", "fill rate", true, [](const Row& row) { return row.fillRate; },
     [](const Row& row) { return row.fillRates; }},
    {"showRate", "show rate", true, [](const Row& row) { return row.showRate; },
     [](const Row& row) { return row.showRates; }},
    {"requestsPerSession", "requests/session", false,
     [](const Row& row) { return std::optional<Difference>(row.requestsPerSession); }, noRates},
    {"showsPerSession", "shows/session", false,
     [](const Row& row) { return std::optional<Difference>(row.showsPerSession); }, noRates},
    {"rewardsPerSession", "rewards/session", false,
     [](const Row& row) { return std::optional<Difference>(row.rewardsPerSession); }, noRates},
}};

nlohmann::ordered_json differenceJson(const std::optional<Difference>& difference,
                                      const Rates& sides) {
  using TableFormat::interval;
  using TableFormat::rate;
  using TableFormat::rounded;
  if (!difference) {
    // One side's rate alone, when it has one: the other side and the difference are null.
    if (!sides.a && !sides.b) return nullptr;
    return {{"a", rate(sides.a)},
            {"b", rate(sides.b)},
            {"difference", nullptr},
            {"ci", nullptr},
            {"independentCi", nullptr}};
  }
  return {{"a", rounded(difference->a)},
          {"b", rounded(difference->b)},
          {"difference", rounded(difference->difference.value)},
          {"ci", interval(difference->difference.interval)},
          {"independentCi", interval(difference->independent)}};
}

nlohmann::ordered_json rowsJson(const char* label, const std::map<std::string, Row>& rows,
                                bool placements) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const auto& [name, row] : rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object[label] = name;
    for (const Measure& measure : kMeasures) {
      const bool noOpportunities = !placements && std::string_view(measure.key) == "showRate";
      object[measure.key] =
          noOpportunities ? nullptr : differenceJson(measure.of(row), measure.sides(row));
    }
    array.push_back(std::move(object));
  }
  return array;
}

// Rates in percent (differences in percentage points), means with two decimals.
std::string value(double number, bool rate) {
  return rate ? format("%.1f%%", number * 100) : format("%.2f", number);
}

std::string signedValue(double number, bool rate) {
  using TableFormat::signedFixed;
  return rate ? signedFixed(number * 100, 1) + " pts" : signedFixed(number, 2);
}

std::string range(const std::optional<Interval>& interval, bool rate) {
  using TableFormat::signedFixed;
  if (!interval) return "-";
  const double scale = rate ? 100 : 1;
  const int decimals = rate ? 1 : 2;
  return signedFixed(interval->low * scale, decimals) + " to " +
         signedFixed(interval->high * scale, decimals);
}

std::string rowsText(const std::map<std::string, Row>& rows, bool placements) {
  std::string out;
  for (const auto& [name, row] : rows) {
    const char* first = name.c_str();
    for (const Measure& measure : kMeasures) {
      if (!placements && std::string_view(measure.key) == "showRate") continue;
      const auto difference = measure.of(row);
      if (!difference) {
        const Rates sides = measure.sides(row);
        auto shown = [&measure](const std::optional<double>& side) {
          return side ? value(*side, measure.rate) : std::string("-");
        };
        out += format("  %-23s %-17s %9s %9s %11s %-21s %s\n", first, measure.label,
                      shown(sides.a).c_str(), shown(sides.b).c_str(), "-", "-", "-");
      } else {
        out += format("  %-23s %-17s %9s %9s %11s %-21s %s\n", first, measure.label,
                      value(difference->a, measure.rate).c_str(),
                      value(difference->b, measure.rate).c_str(),
                      signedValue(difference->difference.value, measure.rate).c_str(),
                      range(difference->difference.interval, measure.rate).c_str(),
                      range(difference->independent, measure.rate).c_str());
      }
      first = "";
    }
  }
  return out;
}

}  // namespace

MonteCarloReport ComparisonTables::side(const MonteCarloReport& report, bool candidate) {
  MonteCarloReport one = report;
  one.comparison.reset();
  if (candidate && report.comparison) {
    one.totals = report.comparison->totalsB();
    one.perSession = report.comparison->momentsB();
  }
  return one;
}

std::string ComparisonTables::text(const MonteCarloReport& report) {
  const PairedComparison& comparison = report.comparison.value();
  std::string out;
  if (report.sessions == 0) {
    out += format("Paired comparison: no seed of %s ended, from seed %llu\n",
                  MonteCarloTables::simulatedMinutes(report.sessionSeconds).c_str(),
                  count(report.firstSeed));
  } else {
    out += format(
        "Paired comparison, B (--compare) minus A: %llu %s of %s, seeds %llu to "
        "%llu%s\n",
        count(report.sessions), report.sessions == 1 ? "seed" : "seeds",
        MonteCarloTables::simulatedMinutes(report.sessionSeconds).c_str(), count(report.firstSeed),
        count(report.firstSeed + report.sessions - 1), report.stopped ? " (stopped early)" : "");
  }
  const char* columns = "%-25s %-17s %9s %9s %11s %-21s %s\n";
  out += format(columns, "Placement", "", "A", "B", "B - A", "95% CI (paired)", "independent");
  out += rowsText(comparison.placements(), true);
  out += format(columns, "Network", "", "A", "B", "B - A", "95% CI (paired)", "independent");
  out += rowsText(comparison.networks(), false);
  out += std::string(kMethods) + "\n";
  if (const char* caution = fewSeedsCaution(report.sessions)) out += std::string(caution) + "\n";
  return out;
}

const char* ComparisonTables::fewSeedsCaution(std::uint64_t seeds) {
  return seeds >= kMinSessionsForSpread && seeds < kSeedsToDecide ? kFewSeeds : nullptr;
}

std::string ComparisonTables::json(const MonteCarloReport& report) {
  const PairedComparison& comparison = report.comparison.value();
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  object["sessions"] = report.sessions;
  object["seed"] = report.firstSeed;
  object["minutes"] = report.sessionSeconds / 60;
  object["stopped"] = report.stopped;
  object["comparison"] = "b-a";
  object["placements"] = rowsJson("placement", comparison.placements(), true);
  object["networks"] = rowsJson("network", comparison.networks(), false);
  nlohmann::ordered_json methods = MonteCarloTables::methods();
  methods["differences"] =
      "paired by seed; rates: each side's wilson interval combined with their correlation "
      "(newcombe)";
  object["intervals"] = methods;
  object["a"] = MonteCarloTables::object(side(report, false));
  object["b"] = MonteCarloTables::object(side(report, true));
  return object.dump();
}

}  // namespace QVRAdKit::Sandbox
