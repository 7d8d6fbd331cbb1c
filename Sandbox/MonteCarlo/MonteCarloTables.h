#pragma once
// MonteCarloTables renders a MonteCarloReport: text() as aligned tables for people (one row per
// placement and one per network, then the means per session), and json() as one JSON object for
// programs:
//   {"sessions":N,"seed":S,"minutes":M,"stopped":false,"placements":[{"placement":
//    "interstitial.connect","requests":..,"fills":..,"failures":..,"fillRate":..,"fillRateCI":
//    [low,high],"loadLatencyMs":{"p50":..,"p90":..,"p99":..},"opportunities":..,"shows":..,
//    "showRate":..,"showRateCI":[low,high],"rewards":..,"perSession":{"requests":{"mean":..,
//    "ci":[low,high]},"shows":{..},"rewards":{..}}},...],"networks":[{"network":"admob",...},
//    ...],"intervals":{"confidence":0.95,...}}
// stopped is true when a stop request ended the run early: sessions then counts those played.
// Rates are fractions, in text as percentages with one decimal; a rate without a denominator and
// a percentile without samples are "-" in text and null in JSON. Every rate has its 95% Wilson
// score interval on the effective number of trials (SessionMoments::rate); every mean per
// session its 95% Student's t interval with the sample standard deviation, cut at 0
// (SessionMoments::mean; none below kMinSessionsForSpread sessions). Latencies are the
// nearest-rank percentiles (LatencyHistogram, within 1/128 of the exact sample) of the durations
// of every filled load of every session pooled.
// Opportunities are the moments the host had for an ad: an interstitial it was granted, an
// app-open ad it wanted (back after a long absence, or at a launch that allowed one), a time-wall
// visit for which a rewarded video was allowed. Networks have no opportunities of their own: their
// shows are the ads that opened, whatever the placement.
// The same report gives the same text, byte for byte.
// Threading: pure functions.

#include <nlohmann/json.hpp>
#include <string>

#include "Sandbox/MonteCarlo/MonteCarloReport.h"

namespace QVRAdKit::Sandbox {

class MonteCarloTables {
 public:
  // The methods, as the last line of text().
  static constexpr const char* kMethods =
      "95% intervals: rates Wilson score on the effective trials of the spread over sessions; "
      "means per session Student's t with the sample standard deviation, cut at 0, or Wilson for "
      "counts of two neighbouring values (none below 10 sessions); latency percentiles within "
      "0.8%";

  [[nodiscard]] static std::string text(const MonteCarloReport& report);
  // One line, without a trailing newline.
  [[nodiscard]] static std::string json(const MonteCarloReport& report);
  // The object json() prints (a comparison embeds those of its two sides).
  [[nodiscard]] static nlohmann::ordered_json object(const MonteCarloReport& report);
  // A session's length as headings show it: "120 simulated minutes", "1 simulated minute".
  [[nodiscard]] static std::string simulatedMinutes(double seconds);
  // The "intervals" object: how the intervals were computed.
  [[nodiscard]] static nlohmann::ordered_json methods();
};

}  // namespace QVRAdKit::Sandbox
