// Verdicts in plain words, and the CSV of a comparison, from the paired differences.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/Text/Format.h"
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
  // Rate differences are percentage points: 0.50 -> 0.531 is +3.1 pts, not +3.1%.
  const Case cases[] = {
      {"higher", difference(0.5, 0.531, Sandbox::Interval{0.024, 0.038}), true, Direction::higher,
       "interstitial.connect show rate +3.1 pts (+2.4 to +3.8 pts)"},
      {"lower rate", difference(0.619, 0.557, Sandbox::Interval{-0.065, -0.059}), true,
       Direction::lower, "interstitial.connect show rate -6.2 pts (-6.5 to -5.9 pts)"},
      {"lower mean", difference(2.0, 1.75, Sandbox::Interval{-0.4, -0.1}), false, Direction::lower,
       "interstitial.connect show rate -0.25 (-0.40 to -0.10)"},
      {"covers zero", difference(0.5, 0.504, Sandbox::Interval{-0.003, 0.011}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (+0.4 pts, -0.3 to +1.1 pts)"},
      {"touches zero", difference(0.5, 0.51, Sandbox::Interval{0.0, 0.02}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (+1.0 pts, 0.0 to +2.0 pts)"},
      {"rounds to zero", difference(0.5, 0.4999, Sandbox::Interval{-0.0004, 0.0002}), true,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (0.0 pts, 0.0 to 0.0 pts)"},
      {"mean rounds to zero", difference(1, 0.996, Sandbox::Interval{-0.004, 0.001}), false,
       Direction::noDifference,
       "interstitial.connect show rate: no significant difference (0.00, 0.00 to 0.00)"},
      {"no interval, mean", difference(1, 2, std::nullopt), false, Direction::unknown,
       "interstitial.connect show rate +1.00 (no interval: fewer than 10 seeds)"},
      {"no interval, rate", difference(0.619, 0.69, std::nullopt), true, Direction::unknown,
       "interstitial.connect show rate +7.1 pts (no interval: fewer than 10 seeds)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComparisonVerdicts::directionOf(c.difference), c.direction);
    EXPECT_EQ(ComparisonVerdicts::sentence("interstitial.connect", "show rate", c.difference,
                                           c.rate, "fewer than 10 seeds"),
              c.text);
  }
}

TEST(ComparisonVerdicts, AMissingIntervalIsExplainedByWhatTheDataLacks) {
  using Rates = Sandbox::PairedComparison::Rates;
  const Rates both{0.6, 0.7};
  const Rates onlyB{std::nullopt, 0.7};
  const Rates onlyA{0.6, std::nullopt};
  const Rates neither{};
  struct Case {
    const char* name;
    std::uint64_t sessions;
    const Rates* rates;
    std::string reason;
  };
  const Case cases[] = {
      {"one seed", 1, nullptr, "fewer than 10 seeds"},
      {"one seed short of a spread", Sandbox::kMinSessionsForSpread - 1, &both,
       "fewer than 10 seeds"},
      // More seeds would not give a side its missing denominator: that reason comes first.
      {"a missing side before too few seeds", 3, &onlyB, "A had no requests"},
      {"A without the denominator", Sandbox::kMinSessionsForSpread, &onlyB, "A had no requests"},
      {"B without the denominator", 1000, &onlyA, "B had no requests"},
      {"neither side", 1000, &neither, "neither side had requests"},
      // Enough seeds and data on both sides: the spread itself could not be estimated.
      {"enough seeds, a mean", 1000, nullptr,
       "the spread of the paired differences could not be estimated"},
      {"enough seeds, a rate", Sandbox::kMinSessionsForSpread, &both,
       "the spread of the paired differences could not be estimated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComparisonVerdicts::whyNoInterval(c.sessions, c.rates), c.reason);
  }
  EXPECT_EQ(ComparisonVerdicts::whyNoInterval(1000, &onlyA, "opportunities"),
            "B had no opportunities");
}

// The embedded configuration compared with itself over half-hour sessions.
auto comparedWithItself(std::uint64_t sessions) {
  Sandbox::MonteCarloRunner::Options options;
  options.sessions = sessions;
  options.duration = 1800;
  options.candidate = Sandbox::SandboxConfiguration::defaults();
  return Sandbox::MonteCarloRunner::run(options);
}

TEST(ComparisonVerdicts, OneSeedGivesNoIntervalAndSaysItIsTooFewSeeds) {
  const auto one = comparedWithItself(1);
  ASSERT_TRUE(one);
  const auto verdicts = ComparisonVerdicts::of(*one->comparison);
  ASSERT_FALSE(verdicts.empty());
  bool rate = false;
  for (const auto& verdict : verdicts) {
    SCOPED_TRACE(verdict.text);
    EXPECT_EQ(verdict.direction, Direction::unknown);
    EXPECT_TRUE(verdict.text.ends_with(" (no interval: fewer than 10 seeds)"));
    if (verdict.rate) {
      rate = true;
      EXPECT_NE(verdict.text.find(" pts "), std::string::npos);
    }
    EXPECT_EQ(verdict.text.find('%'), std::string::npos) << "rate differences are points";
  }
  EXPECT_TRUE(rate);
}

TEST(ComparisonVerdicts, CoverEveryPlacementAndNetworkWithDataAndTheCsvHasALineForEach) {
  // The same configuration on both sides: every difference is exactly zero, and says so.
  auto same = comparedWithItself(30);
  ASSERT_TRUE(same);
  const auto verdicts = ComparisonVerdicts::of(*same->comparison);
  ASSERT_FALSE(verdicts.empty());
  bool network = false;
  for (const auto& verdict : verdicts) {
    SCOPED_TRACE(verdict.text);
    ASSERT_TRUE(verdict.difference);
    EXPECT_EQ(verdict.difference->difference.value, 0);
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
  // A network row that is a placement's measurement again says so, to be counted once: the
  // ironSource network serves only interstitial.disconnect, and of AdMob's placements only
  // rewarded.timewall rewards.
  auto sameAs = [&verdicts](const std::string& row, const std::string& measure) {
    for (const auto& verdict : verdicts) {
      if (verdict.row == row && verdict.measure == measure) return verdict.sameAs;
    }
    return std::string("(no verdict)");
  };
  EXPECT_EQ(sameAs("ironsource", "fillRate"), "interstitial.disconnect");
  EXPECT_EQ(sameAs("ironsource", "requestsPerSession"), "interstitial.disconnect");
  EXPECT_EQ(sameAs("admob", "rewardsPerSession"), "rewarded.timewall");
  EXPECT_EQ(sameAs("admob", "fillRate"), "");
  EXPECT_EQ(sameAs("interstitial.disconnect", "fillRate"), "") << "placements are the originals";

  const std::string csv = ComparisonCsv::of(*same->comparison);
  EXPECT_TRUE(csv.starts_with("kind,row,measure,a,b,difference,ci_low,ci_high,"));
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')),
            verdicts.size() + 1);
  // A verdict's text holds commas: it is quoted.
  EXPECT_NE(csv.find(",\"" + verdicts.front().text + "\"\n"), std::string::npos);
}

TEST(ComparisonVerdicts, ARateOnlyOneSideHasSaysWhichSideLacksIt) {
  // B without the app launch's app-open placement: A's fill rate stands alone.
  auto text = nlohmann::json::parse(Sandbox::kDefaultSandboxConfigurationJson);
  text["appOpen"].erase("appLaunch");
  auto candidate = Sandbox::SandboxConfiguration::parse(text.dump());
  ASSERT_TRUE(candidate.hasValue());
  Sandbox::MonteCarloRunner::Options options;
  options.sessions = 30;
  options.duration = 1800;
  options.candidate = candidate.value();
  const auto report = Sandbox::MonteCarloRunner::run(options);
  ASSERT_TRUE(report);
  const auto verdicts = ComparisonVerdicts::of(*report->comparison);
  const auto found = std::find_if(verdicts.begin(), verdicts.end(), [](const auto& verdict) {
    return verdict.row == "appOpen.appLaunch" && verdict.measure == "fillRate";
  });
  ASSERT_NE(found, verdicts.end()) << "a rate one side lacks still has its row";
  EXPECT_FALSE(found->difference);
  ASSERT_TRUE(found->a);
  EXPECT_FALSE(found->b);
  EXPECT_EQ(found->direction, Direction::unknown);
  EXPECT_EQ(found->texts.a, Sandbox::Text::format("%.1f%%", *found->a * 100));
  EXPECT_EQ(found->text, "appOpen.appLaunch fill rate: A " + found->texts.a + ", B: no requests");
  EXPECT_EQ(found->noInterval, "B had no requests");
  EXPECT_TRUE(found->texts.b.empty() && found->texts.difference.empty() &&
              found->texts.interval.empty());
  // Its CSV line has A's rate, and empty fields for B and the difference.
  const std::string csv = ComparisonCsv::of(*report->comparison);
  EXPECT_NE(csv.find(Sandbox::Text::format("\nplacement,appOpen.appLaunch,fillRate,%.4f,,,,,,,",
                                           *found->a)),
            std::string::npos)
      << csv;
}

}  // namespace
}  // namespace QVRAdKit::Workbench
