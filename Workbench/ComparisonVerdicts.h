#pragma once
// ComparisonVerdicts says in plain words what a paired comparison found, one verdict per
// placement (then per network) and per measure: the fill rate, the show rate (placements only)
// and the requests, shows and rewards per session. B - A with its paired 95% interval:
//   "interstitial.connect show rate +3.1% (+2.4% to +3.8%)"        the interval excludes 0
//   "admob fill rate: no significant difference (+0.4%, -0.3% to +1.1%)"   it covers 0
//   "rewarded.timewall shows per session +0.12 (no interval: fewer than two sessions)"
// Rates are in percentage points with one decimal, means per session with two. A measure
// neither side has (a rate without a denominator, a mean that is 0 on both sides) gets none.
// Threading: pure functions.

#include <string>
#include <vector>

#include "Sandbox/MonteCarlo/PairedComparison.h"

namespace QVRAdKit::Workbench {

struct ComparisonVerdicts {
  enum class Direction { higher, lower, noDifference, unknown };
  struct Verdict {
    std::string kind;     // "placement" or "network"
    std::string row;      // "interstitial.connect", "admob"
    std::string measure;  // the key of ComparisonTables::json: "fillRate", "showsPerSession", ...
    bool rate = false;    // a rate (fraction) rather than a mean per session
    Sandbox::PairedComparison::Difference difference;
    Direction direction = Direction::unknown;
    std::string text;
  };

  // Placements in name order, then networks; per row the measures in the order above.
  [[nodiscard]] static std::vector<Verdict> of(const Sandbox::PairedComparison& comparison);
  [[nodiscard]] static std::string sentence(const std::string& row, const std::string& measure,
                                            const Sandbox::PairedComparison::Difference& difference,
                                            bool rate);
  [[nodiscard]] static Direction directionOf(
      const Sandbox::PairedComparison::Difference& difference);
  [[nodiscard]] static const char* name(Direction direction);
};

}  // namespace QVRAdKit::Workbench
