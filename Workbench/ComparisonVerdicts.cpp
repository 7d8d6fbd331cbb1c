#include "Workbench/ComparisonVerdicts.h"

#include <cmath>
#include <functional>
#include <optional>

#include "Sandbox/MonteCarlo/Interval.h"
#include "Sandbox/Text/Format.h"

namespace QVRAdKit::Workbench {
namespace {

using Difference = Sandbox::PairedComparison::Difference;
using Row = Sandbox::PairedComparison::Row;
using Rates = Sandbox::PairedComparison::Rates;

struct Measure {
  const char* key;
  const char* words;
  bool rate;
  bool placementsOnly;
  std::function<std::optional<Difference>(const Row&)> of;
  const char* denominator;  // a rate's, else null
  Rates Row::*rates;        // a rate's value on each side alone, else null
};

const Measure kMeasures[] = {
    {"fillRate", "fill rate", true, false, [](const Row& row) { return row.fillRate; }, "requests",
     &Row::fillRates},
    {"showRate", "show rate", true, true, [](const Row& row) { return row.showRate; },
     "opportunities", &Row::showRates},
    {"requestsPerSession", "requests per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.requestsPerSession); }, nullptr,
     nullptr},
    {"showsPerSession", "shows per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.showsPerSession); }, nullptr,
     nullptr},
    {"rewardsPerSession", "rewards per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.rewardsPerSession); }, nullptr,
     nullptr},
};

// "+3.1" (percentage points of a rate), "-0.30" (a mean), "0.0": signed, and no "-0.0" for a
// value that rounds to zero. Without the unit: a range writes it once, after its high end.
std::string signedNumber(double value, bool rate) {
  const double shown = rate ? value * 100 : value;
  const double step = rate ? 0.05 : 0.005;
  if (std::fabs(shown) < step) return rate ? "0.0" : "0.00";
  return Sandbox::Text::format(rate ? "%+.1f" : "%+.2f", shown);
}

// A rate's difference is in percentage points, not a percent of the rate.
const char* unit(bool rate) {
  return rate ? " pts" : "";
}

void addRows(const std::map<std::string, Row>& rows, const char* kind, bool placements,
             std::uint64_t sessions, std::vector<ComparisonVerdicts::Verdict>& into) {
  for (const auto& [name, row] : rows) {
    for (const Measure& measure : kMeasures) {
      if (measure.placementsOnly && !placements) continue;
      const auto difference = measure.of(row);
      if (!difference) continue;
      if (!measure.rate && difference->a == 0 && difference->b == 0) continue;
      const std::string noInterval =
          difference->difference.interval
              ? std::string()
              : ComparisonVerdicts::whyNoInterval(
                    sessions, measure.rates ? &(row.*measure.rates) : nullptr, measure.denominator);
      into.push_back({kind, name, measure.key, measure.rate, *difference,
                      ComparisonVerdicts::directionOf(*difference),
                      ComparisonVerdicts::sentence(name, measure.words, *difference, measure.rate,
                                                   noInterval)});
    }
  }
}

}  // namespace

ComparisonVerdicts::Direction ComparisonVerdicts::directionOf(const Difference& difference) {
  const auto& interval = difference.difference.interval;
  if (!interval) return Direction::unknown;
  if (interval->low > 0) return Direction::higher;
  if (interval->high < 0) return Direction::lower;
  return Direction::noDifference;
}

std::string ComparisonVerdicts::whyNoInterval(std::uint64_t sessions, const Rates* rates,
                                              const char* denominator) {
  using Sandbox::Text::format;
  if (sessions < Sandbox::kMinSessionsForSpread) {
    return format("fewer than %llu seeds",
                  static_cast<unsigned long long>(Sandbox::kMinSessionsForSpread));
  }
  if (rates && !rates->a && !rates->b) return format("neither side had %s", denominator);
  if (rates && !rates->a) return format("A had no %s", denominator);
  if (rates && !rates->b) return format("B had no %s", denominator);
  return "the spread of the paired differences could not be estimated";
}

std::string ComparisonVerdicts::sentence(const std::string& row, const std::string& measure,
                                         const Difference& difference, bool rate,
                                         const std::string& noInterval) {
  std::string text = row;
  text.append(" ").append(measure);
  const std::string value = signedNumber(difference.difference.value, rate).append(unit(rate));
  const auto& interval = difference.difference.interval;
  if (!interval) {
    return text.append(" ").append(value).append(" (no interval: ").append(noInterval).append(")");
  }
  const std::string range = signedNumber(interval->low, rate)
                                .append(" to ")
                                .append(signedNumber(interval->high, rate))
                                .append(unit(rate));
  if (directionOf(difference) == Direction::noDifference) {
    return text.append(": no significant difference (")
        .append(value)
        .append(", ")
        .append(range)
        .append(")");
  }
  return text.append(" ").append(value).append(" (").append(range).append(")");
}

std::vector<ComparisonVerdicts::Verdict> ComparisonVerdicts::of(
    const Sandbox::PairedComparison& comparison) {
  std::vector<Verdict> verdicts;
  addRows(comparison.placements(), "placement", true, comparison.sessions(), verdicts);
  addRows(comparison.networks(), "network", false, comparison.sessions(), verdicts);
  return verdicts;
}

const char* ComparisonVerdicts::name(Direction direction) {
  switch (direction) {
    case Direction::higher:
      return "higher";
    case Direction::lower:
      return "lower";
    case Direction::noDifference:
      return "none";
    case Direction::unknown:
      return "unknown";
  }
  return "unknown";
}

}  // namespace QVRAdKit::Workbench
