#pragma once
// ComparisonCsv writes a paired comparison as CSV for a spreadsheet: a header, then one line per
// verdict (ComparisonVerdicts: placements, then networks, each measure that has data):
//   kind,row,measure,a,b,difference,ci_low,ci_high,independent_low,independent_high,verdict
// Numbers are rounded to four decimals as in ComparisonTables::json (rates as fractions); a
// missing interval, side or difference (a rate only one side has) is an empty field. Fields
// with commas or quotes are quoted.
// Threading: a pure function.

#include <string>

#include "Sandbox/MonteCarlo/PairedComparison.h"

namespace QVRAdKit::Workbench::ComparisonCsv {

[[nodiscard]] std::string of(const Sandbox::PairedComparison& comparison);

}  // namespace QVRAdKit::Workbench::ComparisonCsv
