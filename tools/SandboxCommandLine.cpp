#include "tools/SandboxCommandLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include "Sandbox/MonteCarlo/MonteCarloRunner.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

// path made absolute, with its symbolic links followed, also a last one whose target does not
// exist yet (the file a run would create through it), and "." and ".." resolved.
fs::path resolved(const std::string& text) {
  std::error_code failed;
  fs::path path = fs::absolute(text, failed);
  if (failed) return text;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, failed)); ++hops) {
    const fs::path target = fs::read_symlink(path, failed);
    if (failed) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  fs::path canonical = fs::weakly_canonical(path, failed);
  return failed ? path.lexically_normal() : canonical;
}

// Whether the two paths name one file: the same file when both exist (hard links included),
// else the same resolved path.
bool sameFile(const std::string& first, const std::string& second) {
  std::error_code failed;
  if (fs::exists(first, failed) && fs::exists(second, failed)) {
    const bool same = fs::equivalent(first, second, failed);
    if (!failed) return same;
  }
  return resolved(first) == resolved(second);
}

std::string inQuotes(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

void SandboxCommandLine::define(CLI::App& app, SandboxToolOptions& options) {
  // Through a function: an optional target would read an empty path as no path at all.
  app.add_option_function<std::string>(
      "--config", [&options](const std::string& path) { options.configPath = path; },
      "JSON configuration file (default: the embedded configuration); every problem of the file "
      "is listed before anything runs");
  app.add_option("--seed", options.seed, "Seed of every random draw, 0 to 2^64-1")
      ->capture_default_str();
  app.add_option("--minutes", options.minutes,
                 "Minutes of simulated time, more than 0, at most " + std::to_string(kMaxMinutes))
      ->capture_default_str();
  app.add_option("--events", options.eventsPath,
                 "Analytics events as JSON lines to this file, or - for stdout")
      ->capture_default_str();
  app.add_option("--storage", options.storagePath,
                 "SQLite file of the host's storage, kept after the run, so an ads pause "
                 "survives (default: a temporary file, removed at the end)");
  app.add_option("--region", options.region, "Where the simulated user is for consent")
      ->capture_default_str()
      ->check(CLI::IsMember({"required", "not-required"}));
  app.add_option("--answer", options.answer, "What the user answers on the consent form")
      ->capture_default_str()
      ->check(CLI::IsMember({"accept", "reject"}));
  app.add_flag("--premium", options.premium, "The user is premium (no ads)");
  app.add_flag("--quiet", options.quiet, "Print only the final summary");
  app.add_flag("--json", options.json,
               "Print the summary (with --sessions: the tables) as one JSON object on stdout (the "
               "narration goes to stderr)");
  app.add_option_function<std::string>(
      "--sessions", [&options](const std::string& count) { options.sessions = count; },
      "Run this many independent sessions (seeds S, S+1, ...) and print their statistics per "
      "placement and network, from 1 to " +
          std::to_string(MonteCarloRunner::kMaxSessions) +
          "; writes no events file and keeps no storage");
  app.add_option("--jobs", options.jobs,
                 "Threads for --sessions, from 1 to " + std::to_string(MonteCarloRunner::kMaxJobs))
      ->capture_default_str();
  app.add_option("--inspect-at", options.inspectAt,
                 "Print a snapshot of the ads service at these session times (seconds, mm:ss or "
                 "hh:mm:ss, comma-separated)");
  app.add_option("--inspect-html", options.inspectHtml,
                 "Write every snapshot to this HTML page (default time: the session end)");
  app.add_flag("--print-default-config", options.printDefaultConfig,
               "Print the embedded configuration and exit");
  app.add_flag("--check-integration", options.checkIntegration,
               "Print what the host's wiring of the ads module lacks, with fixes, and exit");
}

std::optional<std::uint64_t> SandboxCommandLine::seed(std::string_view text) {
  // from_chars alone would accept what follows the digits; a sign is not a digit.
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failed != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> SandboxCommandLine::minutes(std::string_view text) {
  double value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || failed != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value) || value <= 0 || value > kMaxMinutes) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> SandboxCommandLine::count(std::string_view text, std::uint64_t max) {
  const auto value = seed(text);  // the same whole-number rule
  if (!value || *value < 1 || *value > max) return std::nullopt;
  return value;
}

std::vector<std::string> SandboxCommandLine::validate(const SandboxToolOptions& options) {
  std::vector<std::string> problems;
  if (options.printDefaultConfig) return problems;  // runs nothing
  if (options.configPath && options.configPath->empty()) {
    problems.emplace_back(
        "--config: the path is empty (leave --config out for the embedded "
        "configuration)");
  }
  if (!seed(options.seed)) {
    problems.push_back("--seed: must be a whole number from 0 to 18446744073709551615, found " +
                       inQuotes(options.seed));
  }
  if (!minutes(options.minutes)) {
    problems.push_back("--minutes: must be a number more than 0 and at most " +
                       std::to_string(kMaxMinutes) + ", found " + inQuotes(options.minutes));
  }
  if (options.eventsPath.empty()) {
    problems.emplace_back("--events: the path is empty (use - for stdout)");
  } else if (options.eventsPath != "-") {
    if (!options.storagePath.empty() && sameFile(options.eventsPath, options.storagePath)) {
      problems.push_back("--events and --storage name the same file " +
                         inQuotes(options.eventsPath) + ": the events would overwrite the storage");
    }
    if (options.configPath && !options.configPath->empty() &&
        sameFile(options.eventsPath, *options.configPath)) {
      problems.push_back("--events and --config name the same file " +
                         inQuotes(options.eventsPath) +
                         ": the events would overwrite the configuration");
    }
  }
  if (options.sessions) {
    const auto sessions = count(*options.sessions, MonteCarloRunner::kMaxSessions);
    const auto firstSeed = seed(options.seed);
    if (!sessions) {
      problems.push_back("--sessions: must be a whole number from 1 to " +
                         std::to_string(MonteCarloRunner::kMaxSessions) + ", found " +
                         inQuotes(*options.sessions));
    } else if (firstSeed &&
               *sessions - 1 > std::numeric_limits<std::uint64_t>::max() - *firstSeed) {
      problems.emplace_back("--sessions: the last session's seed would not fit 64 bits");
    }
    if (!options.storagePath.empty()) {
      problems.emplace_back(
          "--storage: not with --sessions (each session keeps its own store in "
          "memory)");
    }
    if (!options.inspectAt.empty() || !options.inspectHtml.empty()) {
      problems.emplace_back("--inspect-at and --inspect-html: not with --sessions");
    }
  }
  if (!count(options.jobs, MonteCarloRunner::kMaxJobs)) {
    problems.push_back("--jobs: must be a whole number from 1 to " +
                       std::to_string(MonteCarloRunner::kMaxJobs) + ", found " +
                       inQuotes(options.jobs));
  }
  if (options.json && options.eventsPath == "-" && !options.sessions) {
    problems.emplace_back("--json and --events - both want stdout: write the events to a file");
  }
  return problems;
}

}  // namespace QVRAdKit::Sandbox
