#pragma once
// ComparisonVerdicts says in plain words what a paired comparison found, one verdict per
// placement (then per network) and per measure: the fill rate, the show rate (placements only)
// and the requests, shows and rewards per session. B - A with its paired 95% interval:
//   "interstitial.connect show rate +3.1 pts (+2.4 to +3.8 pts)"        the interval excludes 0
//   "admob fill rate: no significant difference (+0.4 pts, -0.3 to +1.1 pts)"   it covers 0
//   "rewarded.timewall shows per session +0.12 (no interval: fewer than 10 seeds)"
//   "appOpen.appLaunch fill rate: A 84.0%, B: no requests"   a rate only one side has
// Rate differences are in percentage points ("pts") with one decimal, means per session with
// two, formatted from full precision as the command line's text table formats them (texts), so
// that a page shows the same digits. A missing interval says why: a side without the rate's
// denominator, too few seeds, or a spread that could not be estimated. A measure neither side
// has (a rate without a denominator, a mean that is 0 on both sides) gets no verdict. A network
// row whose numbers repeat a placement's exactly (a network serving one placement) is the same
// measurement twice: sameAs names that placement, so that it is counted once.
// Threading: pure functions.

#include <cstdint>
#include <optional>
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
    // Each side's value; none on a side without the rate's denominator.
    std::optional<double> a;
    std::optional<double> b;
    // B - A; none when one side has no value.
    std::optional<Sandbox::PairedComparison::Difference> difference;
    Direction direction = Direction::unknown;
    std::string text;
    // The numbers as the text table writes them: "84.0%" or "0.35" per side (empty for none),
    // "+3.1 pts" and "+2.4 to +3.8 pts" (empty without a difference or an interval).
    struct Texts {
      std::string a;
      std::string b;
      std::string difference;
      std::string interval;
    } texts;
    std::string noInterval;  // why there is no interval; empty when there is one
    std::string sameAs;      // the placement a network verdict repeats exactly; empty otherwise
  };

  // Placements in name order, then networks; per row the measures in the order above.
  [[nodiscard]] static std::vector<Verdict> of(const Sandbox::PairedComparison& comparison);
  // noInterval: the reason given when the difference has no interval (whyNoInterval).
  [[nodiscard]] static std::string sentence(const std::string& row, const std::string& measure,
                                            const Sandbox::PairedComparison::Difference& difference,
                                            bool rate, const std::string& noInterval);
  // Why a difference of `sessions` paired seeds has no interval. rates: for a rate, each side's
  // rate, none on a side without its denominator (named by `denominator`, "requests"): a missing
  // side comes first, since more seeds would not give it an interval either.
  [[nodiscard]] static std::string whyNoInterval(
      std::uint64_t sessions, const Sandbox::PairedComparison::Rates* rates = nullptr,
      const char* denominator = "requests");
  [[nodiscard]] static Direction directionOf(
      const Sandbox::PairedComparison::Difference& difference);
  [[nodiscard]] static const char* name(Direction direction);
};

}  // namespace QVRAdKit::Workbench
