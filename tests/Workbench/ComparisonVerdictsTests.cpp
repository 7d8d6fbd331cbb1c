// Verdicts in plain words, and the CSV of a comparison, from the paired differences.

#include <gtest/gtest.h>

#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Workbench/ComparisonCsv.h"
#include "Workbench/ComparisonVerdicts.h"

namespace QVRAdKit::Workbench {
namespace {

using Difference = Sandbox::PairedComparison::Difference;
using Direction = ComparisonVerdicts::Direction;

Difference difference(double a, double b, std::optional<Sandbox::Interval> interval) {
  Difference result;
  result.a = a;
  result.b = b;
  result.difference.value = b - a;
  result.difference.interval = interval;
  return result;
}

TEST(ComparisonVerdicts, SaysWhetherTheIntervalExcludesZeroInPlainWords) {
  struct Case {
    const char* name;
    Difference difference;
    bool rate;
    Direction direction;
    std::string text;
  };
  const Case cases[] = {
      {"higher", difference(0.5, 0.531, Sandbox::Interval{0.024, 0.038}), true, Direction::higher,
       "interstitial.connect show rate +3.1% (+2.4% to +3.8%)"},
      {"lower", difference(2.0, 1.75, Sandbox::Interval{-0.4, -0.1}), false, Direction::lower,
       "interstitial.connect show rate -0.25 (-0.40 to -0.10)"},
      {"covers zero", difference(0.5, 0.504, Sandbox::Interval{-0.003, 0.011}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (+0.4%, -0.3% to +1.1%)"},
      {"touches zero", difference(0.5, 0.51, Sandbox::Interval{0.0, 0.02}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (+1.0%, 0.0% to +2.0%)"},
      {"rounds to zero", difference(0.5, 0.4999, Sandbox::Interval{-0.0004, 0.0002}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (0.0%, 0.0% to 0.0%)"},
      {"one seed", difference(1, 2, std::nullopt), false, Direction::unknown,
       "interstitial.connect show rate +1.00 (no interval: fewer than two sessions)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComparisonVerdicts::directionOf(c.difference), c.direction);
    EXPECT_EQ(
        ComparisonVerdicts::sentence("interstitial.connect", "show rate", c.difference, c.rate),
        c.text);
  }
}

TEST(ComparisonVerdicts, CoverEveryPlacementAndNetworkWithDataAndTheCsvHasALineForEach) {
  Sandbox::MonteCarloRunner::Options options;
  options.sessions = 30;
  options.duration = 1800;
  auto candidate = Sandbox::SandboxConfiguration::defaults();
  options.candidate = candidate;
  // The same configuration on both sides: every difference is exactly zero, and says so.
  auto same = Sandbox::MonteCarloRunner::run(options);
  ASSERT_TRUE(same);
  const auto verdicts = ComparisonVerdicts::of(*same->comparison);
  ASSERT_FALSE(verdicts.empty());
  bool network = false;
  for (const auto& verdict : verdicts) {
    SCOPED_TRACE(verdict.text);
    EXPECT_EQ(verdict.difference.difference.value, 0);
    EXPECT_NE(verdict.direction, Direction::higher);
    EXPECT_NE(verdict.direction, Direction::lower);
    EXPECT_TRUE(verdict.text.starts_with(verdict.row + " "));
    network = network || verdict.kind == "network";
    // Networks have no opportunities: no show rate.
    if (verdict.kind == "network") {
      EXPECT_NE(verdict.measure, "showRate");
    }
  }
  EXPECT_TRUE(network);
  EXPECT_EQ(verdicts.front().kind, "placement") << "placements come first";

  const std::string csv = ComparisonCsv::of(*same->comparison);
  EXPECT_TRUE(csv.starts_with("kind,row,measure,a,b,difference,ci_low,ci_high,"));
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')),
            verdicts.size() + 1);
  // A verdict's text holds commas: it is quoted.
  EXPECT_NE(csv.find(",\"" + verdicts.front().text + "\"\n"), std::string::npos);
}

}  // namespace
}  // namespace QVRAdKit::Workbench
