#include "Workbench/ComparisonVerdicts.h"

#include <cmath>
#include <functional>
#include <optional>

#include "Sandbox/Text/Format.h"

namespace QVRAdKit::Workbench {
namespace {

using Difference = Sandbox::PairedComparison::Difference;
using Row = Sandbox::PairedComparison::Row;

struct Measure {
  const char* key;
  const char* words;
  bool rate;
  bool placementsOnly;
  std::function<std::optional<Difference>(const Row&)> of;
};

const Measure kMeasures[] = {
    {"fillRate", "fill rate", true, false, [](const Row& row) { return row.fillRate; }},
    {"showRate", "show rate", true, true, [](const Row& row) { return row.showRate; }},
    {"requestsPerSession", "requests per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.requestsPerSession); }},
    {"showsPerSession", "shows per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.showsPerSession); }},
    {"rewardsPerSession", "rewards per session", false, false,
     [](const Row& row) { return std::optional<Difference>(row.rewardsPerSession); }},
};

// "+3.1%", "-0.30", "0.0%": signed, and no "-0.0" for a value that rounds to zero.
std::string signedNumber(double value, bool rate) {
  const double shown = rate ? value * 100 : value;
  const double step = rate ? 0.05 : 0.005;
  if (std::fabs(shown) < step) return rate ? "0.0%" : "0.00";
  return rate ? Sandbox::Text::format("%+.1f%%", shown) : Sandbox::Text::format("%+.2f", shown);
}

void addRows(const std::map<std::string, Row>& rows, const char* kind, bool placements,
             std::vector<ComparisonVerdicts::Verdict>& into) {
  for (const auto& [name, row] : rows) {
    for (const Measure& measure : kMeasures) {
      if (measure.placementsOnly && !placements) continue;
      const auto difference = measure.of(row);
      if (!difference) continue;
      if (!measure.rate && difference->a == 0 && difference->b == 0) continue;
      into.push_back(
          {kind, name, measure.key, measure.rate, *difference,
           ComparisonVerdicts::directionOf(*difference),
           ComparisonVerdicts::sentence(name, measure.words, *difference, measure.rate)});
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

std::string ComparisonVerdicts::sentence(const std::string& row, const std::string& measure,
                                         const Difference& difference, bool rate) {
  std::string text = row;
  text.append(" ").append(measure);
  const std::string value = signedNumber(difference.difference.value, rate);
  const auto& interval = difference.difference.interval;
  if (!interval) {
    return text.append(" ").append(value).append(" (no interval: fewer than two sessions)");
  }
  const std::string range =
      signedNumber(interval->low, rate).append(" to ").append(signedNumber(interval->high, rate));
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
  addRows(comparison.placements(), "placement", true, verdicts);
  addRows(comparison.networks(), "network", false, verdicts);
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
