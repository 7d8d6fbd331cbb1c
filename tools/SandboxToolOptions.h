#pragma once
// SandboxToolOptions holds everything given on qvr-sandbox's command line, as given: numbers stay
// text until SandboxCommandLine::validate() has checked them, so that a bad value is reported in
// the tool's own words (and a seed beyond 64 bits is refused rather than clamped). A new option is
// a field here, a definition in SandboxCommandLine::define() and, when it has limits, a check in
// SandboxCommandLine::validate().
// A plain value.

#include <optional>
#include <string>

namespace QVRAdKit::Sandbox {

struct SandboxToolOptions {
  // Absent: the embedded configuration. Given as "": refused.
  std::optional<std::string> configPath;
  std::string seed = "1";
  std::string minutes = "120";
  // "-" for standard output.
  std::string eventsPath = "sandbox-events.jsonl";
  // Whether --events was given (a Monte Carlo run writes no events file).
  bool eventsGiven = false;
  // Empty: a temporary file, removed at the end.
  std::string storagePath;
  // Simulated time between the last session on a kept store and this one ("1h"); none: one hour.
  std::optional<std::string> gap;
  std::string region = "required";
  std::string answer = "accept";
  bool premium = false;
  bool quiet = false;
  bool json = false;
  bool printDefaultConfig = false;
  // Print what the sandbox host's wiring of the module lacks (the integration report) and exit.
  bool checkIntegration = false;
  // Monte Carlo trials: this many independent sessions (seeds S, S+1, ...) when given.
  std::optional<std::string> sessions;
  std::string jobs = "1";
  // Whether --jobs was given (it applies to Monte Carlo runs only).
  bool jobsGiven = false;
  // Monte Carlo trials over these seeds ("FIRST..LAST") when given, instead of --seed/--sessions.
  std::optional<std::string> seedRange;
  // Whether --seed was given (it does not go with --seed-range).
  bool seedGiven = false;
  // The file a Monte Carlo run writes its mergeable state to (a shard); none when not given.
  std::optional<std::string> shardOut;
  // The candidate configuration a Monte Carlo run compares with, paired by seed.
  std::optional<std::string> comparePath;
  // Session times for ads-service snapshots ("90,5:00,1:00:00"); empty for none.
  std::string inspectAt;
  // Whether --inspect-at was given (an empty list is refused, not taken for none).
  bool inspectAtGiven = false;
  // The HTML page of every snapshot; empty for none.
  std::string inspectHtml;
};

}  // namespace QVRAdKit::Sandbox
