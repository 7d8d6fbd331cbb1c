#pragma once
// MonteCarloTables renders a MonteCarloReport: text() as two aligned tables for people, one row
// per placement and one per network, and json() as one JSON object for programs:
//   {"sessions":N,"seed":S,"minutes":M,"stopped":false,"placements":[{"placement":
//    "interstitial.connect","requests":..,"fills":..,"fillRate":..,"loadLatencyMs":{"p50":..,
//    "p90":..},"opportunities":..,"shows":..,"showRate":..,"rewards":..},...],"networks":[{
//    "network":"admob",...},...]}
// stopped is true when a stop request ended the run early: sessions then counts those played.
// Rates are fractions in text as percentages with one decimal; a rate without a denominator and a
// percentile without samples are "-" in text and null in JSON. Latencies are the nearest-rank
// percentiles (LatencyHistogram) of the durations of every filled load of every session pooled.
// Opportunities are the moments the host had for an ad: an interstitial it was granted, an
// app-open ad it wanted (back after a long absence, or at a launch that allowed one), a time-wall
// visit for which a rewarded video was allowed. Networks have no opportunities of their own: their
// shows are the ads that opened, whatever the placement.
// The same report gives the same text, byte for byte.
// Threading: pure functions.

#include <string>

#include "Sandbox/MonteCarlo/MonteCarloReport.h"

namespace QVRAdKit::Sandbox {

class MonteCarloTables {
 public:
  [[nodiscard]] static std::string text(const MonteCarloReport& report);
  // One line, without a trailing newline.
  [[nodiscard]] static std::string json(const MonteCarloReport& report);
};

}  // namespace QVRAdKit::Sandbox
