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

// A side's value as the text table writes it: "84.0%" (a rate), "0.35" (a mean).
std::string sideText(const std::optional<double>& value, bool rate) {
  if (!value) return {};
  return Sandbox::Text::format(rate ? "%.1f%%" : "%.2f", rate ? *value * 100 : *value);
}

// "appOpen.appLaunch fill rate: A 84.0%, B: no requests": a rate only one side has.
std::string oneSided(const std::string& row, const Measure& measure,
                     const ComparisonVerdicts::Verdict::Texts& texts) {
  const std::string missing = std::string(": no ") + measure.denominator;
  return row + " " + measure.words + ": A" + (texts.a.empty() ? missing : " " + texts.a) + ", B" +
         (texts.b.empty() ? missing : " " + texts.b);
}

ComparisonVerdicts::Verdict verdictOf(const char* kind, const std::string& name, const Row& row,
                                      const Measure& measure, std::uint64_t sessions) {
  ComparisonVerdicts::Verdict verdict;
  verdict.kind = kind;
  verdict.row = name;
  verdict.measure = measure.key;
  verdict.rate = measure.rate;
  verdict.difference = measure.of(row);
  if (verdict.difference) {
    verdict.a = verdict.difference->a;
    verdict.b = verdict.difference->b;
  } else {
    verdict.a = (row.*measure.rates).a;
    verdict.b = (row.*measure.rates).b;
  }
  verdict.texts.a = sideText(verdict.a, measure.rate);
  verdict.texts.b = sideText(verdict.b, measure.rate);
  const auto* interval = verdict.difference && verdict.difference->difference.interval
                             ? &*verdict.difference->difference.interval
                             : nullptr;
  if (!interval) {
    verdict.noInterval = ComparisonVerdicts::whyNoInterval(
        sessions, measure.rates ? &(row.*measure.rates) : nullptr, measure.denominator);
  }
  if (!verdict.difference) {
    verdict.text = oneSided(name, measure, verdict.texts);
    return verdict;
  }
  verdict.direction = ComparisonVerdicts::directionOf(*verdict.difference);
  verdict.texts.difference =
      signedNumber(verdict.difference->difference.value, measure.rate).append(unit(measure.rate));
  if (interval) {
    verdict.texts.interval = signedNumber(interval->low, measure.rate)
                                 .append(" to ")
                                 .append(signedNumber(interval->high, measure.rate))
                                 .append(unit(measure.rate));
  }
  verdict.text = ComparisonVerdicts::sentence(name, measure.words, *verdict.difference,
                                              measure.rate, verdict.noInterval);
  return verdict;
}

void addRows(const std::map<std::string, Row>& rows, const char* kind, bool placements,
             std::uint64_t sessions, std::vector<ComparisonVerdicts::Verdict>& into) {
  for (const auto& [name, row] : rows) {
    for (const Measure& measure : kMeasures) {
      if (measure.placementsOnly && !placements) continue;
      const auto difference = measure.of(row);
      if (difference && !measure.rate && difference->a == 0 && difference->b == 0) continue;
      // A rate neither side has gets no verdict; one side's alone still says what it was.
      if (!difference && !(row.*measure.rates).a && !(row.*measure.rates).b) continue;
      into.push_back(verdictOf(kind, name, row, measure, sessions));
    }
  }
}

// Marks each network verdict that repeats a placement's numbers exactly: the sums of both rows
// were the same in every session, so it is one measurement, not a second one.
void markRepeats(std::vector<ComparisonVerdicts::Verdict>& verdicts) {
  for (auto& network : verdicts) {
    if (network.kind != "network") continue;
    for (const auto& placement : verdicts) {
      if (placement.kind == "placement" && placement.measure == network.measure &&
          placement.a == network.a && placement.b == network.b &&
          placement.difference == network.difference) {
        network.sameAs = placement.row;
        break;
      }
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
  if (rates && !rates->a && !rates->b) return format("neither side had %s", denominator);
  if (rates && !rates->a) return format("A had no %s", denominator);
  if (rates && !rates->b) return format("B had no %s", denominator);
  if (sessions < Sandbox::kMinSessionsForSpread) {
    return format("fewer than %llu seeds",
                  static_cast<unsigned long long>(Sandbox::kMinSessionsForSpread));
  }
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
  markRepeats(verdicts);
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
