#pragma once
// SandboxCommandLine defines qvr-sandbox's options on a CLI11 application and checks the values
// together once parsing is done: every problem of a command line is listed, one line each, before
// anything runs. Limits: --minutes in (0, kMaxMinutes]; --seed a whole number from 0 to 2^64-1;
// no path empty; no two of the files read and written one file, and no two outputs on standard
// output (OutputPaths: --json and --events - clash, as do a Monte Carlo run's tables and a shard
// written to standard output); the store and the page in files; --sessions from 1 to
// MonteCarloRunner::kMaxSessions, its last seed within 64 bits, and neither a kept store, an
// inspector nor a given --events with it; --jobs from 1 to MonteCarloRunner::kMaxJobs, given
// only with a Monte Carlo run; --gap a duration up to kMaxGapDays, only with --storage;
// --seed-range FIRST..LAST with FIRST <= LAST and at most kMaxSessions seeds, neither with
// --sessions nor with --seed; --shard-out and --compare only with a Monte Carlo run, not empty,
// the shard neither the configuration nor the compared one, and a place a file can be made.
// Example:
//   SandboxToolOptions options;
//   CLI::App app;
//   SandboxCommandLine::define(app, options);
//   app.parse(argc, argv);
//   for (const auto& problem : SandboxCommandLine::validate(options)) ...
// Threading: pure functions (validate() reads the file system).

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/SandboxToolOptions.h"

namespace QVRAdKit::Sandbox {

class SandboxCommandLine {
 public:
  // A week of simulated time: a session runs at thousands of simulated minutes per second, and a
  // longer one says nothing a week does not.
  static constexpr int kMaxMinutes = 10080;
  // Ten years between two sessions on one store: any pause the module keeps has ended by then.
  static constexpr int kMaxGapDays = 3650;
  static constexpr double kDefaultGapSeconds = 3600;

  struct SeedRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
  };

  static void define(CLI::App& app, SandboxToolOptions& options);
  // The Monte Carlo run's --seed-range, --shard-out and --compare (define() adds them).
  static void defineTrialOptions(CLI::App& app, SandboxToolOptions& options);
  // The problems of those options (validate() includes them).
  [[nodiscard]] static std::vector<std::string> validateTrials(const SandboxToolOptions& options);
  // "FIRST..LAST" as seeds; none unless both are seeds and FIRST <= LAST.
  [[nodiscard]] static std::optional<SeedRange> seedRange(std::string_view text);
  // Every problem of the command line, one line each; empty when it can run.
  [[nodiscard]] static std::vector<std::string> validate(const SandboxToolOptions& options);

  // The seed text as a number; none unless it is a whole number that fits 64 bits.
  [[nodiscard]] static std::optional<std::uint64_t> seed(std::string_view text);
  // The minutes text as a number; none unless it is a finite number in (0, kMaxMinutes].
  [[nodiscard]] static std::optional<double> minutes(std::string_view text);
  // A duration in seconds from a whole number with an optional unit: "3600", "90s", "15m", "1h",
  // "2d"; none unless it is at most kMaxGapDays days.
  [[nodiscard]] static std::optional<double> gap(std::string_view text);
  // A CLI11 check that refuses an empty path, for every option that takes one.
  [[nodiscard]] static CLI::Validator nonEmptyPath();
  // A whole number in [1, max]; none otherwise.
  [[nodiscard]] static std::optional<std::uint64_t> count(std::string_view text, std::uint64_t max);
};

}  // namespace QVRAdKit::Sandbox
