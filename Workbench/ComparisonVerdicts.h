#pragma once
// ComparisonVerdicts says in plain words what a paired comparison found, one verdict per
// placement (then per network) and per measure: the fill rate, the show rate (placements only)
// and the requests, shows and rewards per session. B - A with its paired 95% interval:
//   "interstitial.connect show rate +3.1 pts (+2.4 to +3.8 pts)"        the interval excludes 0
//   "admob fill rate: no significant difference (+0.4 pts, -0.3 to +1.1 pts)"   it covers 0
//   "rewarded.timewall shows per session +0.12 (no interval: fewer than 10 seeds)"
// Rate differences are in percentage points ("pts") with one decimal, means per session with
// two. A missing interval says why: too few seeds, a side without the rate's denominator, or a
// spread that could not be estimated. A measure neither side has (a rate without a denominator,
// a mean that is 0 on both sides) gets no verdict.
// Threading: pure functions.

#include <cstdint>
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
  // noInterval: the reason given when the difference has no interval (whyNoInterval).
  [[nodiscard]] static std::string sentence(const std::string& row, const std::string& measure,
                                            const Sandbox::PairedComparison::Difference& difference,
                                            bool rate, const std::string& noInterval);
  // Why a difference of `sessions` paired seeds has no interval. rates: for a rate, each side's
  // rate, none on a side without its denominator (named by `denominator`, "requests").
  [[nodiscard]] static std::string whyNoInterval(
      std::uint64_t sessions, const Sandbox::PairedComparison::Rates* rates = nullptr,
      const char* denominator = "requests");
  [[nodiscard]] static Direction directionOf(
      const Sandbox::PairedComparison::Difference& difference);
  [[nodiscard]] static const char* name(Direction direction);
};

}  // namespace QVRAdKit::Workbench
