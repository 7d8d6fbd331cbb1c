#pragma once
// ComparisonTables renders the paired comparison of a MonteCarloReport run with a candidate
// configuration (report.comparison): B (the candidate) minus A, per placement and per network,
// for the fill rate, the show rate and the requests, shows and rewards per session, each with A's
// and B's value, the difference, its paired 95% interval and, for reference, the interval the
// same data would give as two independent runs (see PairedComparison for the methods). text() is
// for people; json() one object for programs:
//   {"sessions":N,"seed":S,"minutes":M,"stopped":false,"comparison":"b-a","placements":[{
//    "placement":"interstitial.connect","fillRate":{"a":..,"b":..,"difference":..,"ci":[lo,hi],
//    "independentCi":[lo,hi]},"showRate":..,"requestsPerSession":{..},"showsPerSession":{..},
//    "rewardsPerSession":{..}},...],"networks":[{"network":"admob",...}],"intervals":{..},
//    "a":{A's run report, as MonteCarloTables::json},"b":{B's}}
// A rate a side cannot give (no requests, no opportunities) is null ("-") on that side, and so is
// its difference, the other side's rate still shown; a rate neither side can give is null as a
// whole, and an interval fewer than two seeds cannot give is null ("-").
// Networks have no opportunities: their show rate is null. The same report gives the same text,
// byte for byte.
// Threading: pure functions.

#include <cstdint>
#include <string>

#include "Sandbox/MonteCarlo/MonteCarloReport.h"

namespace QVRAdKit::Sandbox {

class ComparisonTables {
 public:
  static constexpr const char* kMethods =
      "95% intervals of B - A, sessions paired by seed: means per session from the per-seed "
      "differences (Student's t); rates as ratio estimators, each side's Wilson interval combined "
      "with their correlation over the seeds (Newcombe); none below 10 seeds. 'independent' is the "
      "interval the same data would give as "
      "two unrelated runs";
  // Below this many seeds, an interval of a change that a few seeds carry misses more often than
  // 1 time in 20 (measured: 93.5% with 20 seeds on a skewed difference of rewards per session,
  // 94.4% or more with 200), which the text says under the tables, and the workbench under its
  // headline.
  static constexpr std::uint64_t kSeedsToDecide = 200;
  static constexpr const char* kFewSeeds =
      "With fewer than 200 seeds, an interval misses more often than 1 time in 20 when a few "
      "seeds carry a change: use 200 or more to decide.";
  // kFewSeeds for seeds that give intervals but fewer than kSeedsToDecide; none otherwise.
  [[nodiscard]] static const char* fewSeedsCaution(std::uint64_t seeds);

  // Requires report.comparison.
  [[nodiscard]] static std::string text(const MonteCarloReport& report);
  // One line, without a trailing newline.
  [[nodiscard]] static std::string json(const MonteCarloReport& report);
  // One side's run report, as a run of that configuration alone on the same seeds prints it.
  [[nodiscard]] static MonteCarloReport side(const MonteCarloReport& report, bool candidate);
};

}  // namespace QVRAdKit::Sandbox
