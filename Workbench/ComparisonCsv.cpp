#include "Workbench/ComparisonCsv.h"

#include "Sandbox/MonteCarlo/TableFormat.h"
#include "Workbench/ComparisonVerdicts.h"

namespace QVRAdKit::Workbench::ComparisonCsv {
namespace {

std::string field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string number(double value) {
  // Rounded first so that the CSV and the JSON agree to the last digit; no "-0.0000".
  const double shown = Sandbox::TableFormat::rounded(value);
  return Sandbox::Text::format("%.4f", shown == 0 ? 0.0 : shown);
}

// A side's value, or an empty field for a side without the rate's denominator.
std::string number(const std::optional<double>& value) {
  return value ? number(*value) : std::string();
}

std::string interval(const std::optional<Sandbox::Interval>& value) {
  if (!value) return ",";
  return number(value->low) + "," + number(value->high);
}

}  // namespace

std::string of(const Sandbox::PairedComparison& comparison) {
  std::string csv =
      "kind,row,measure,a,b,difference,ci_low,ci_high,independent_low,independent_high,verdict\n";
  for (const auto& verdict : ComparisonVerdicts::of(comparison)) {
    const auto& difference = verdict.difference;
    const auto none = std::optional<Sandbox::Interval>();
    csv.append(verdict.kind)
        .append(",")
        .append(field(verdict.row))
        .append(",")
        .append(verdict.measure)
        .append(",")
        .append(number(verdict.a))
        .append(",")
        .append(number(verdict.b))
        .append(",")
        .append(difference ? number(difference->difference.value) : std::string())
        .append(",")
        .append(interval(difference ? difference->difference.interval : none))
        .append(",")
        .append(interval(difference ? difference->independent : none))
        .append(",")
        .append(field(verdict.text))
        .append("\n");
  }
  return csv;
}

}  // namespace QVRAdKit::Workbench::ComparisonCsv
