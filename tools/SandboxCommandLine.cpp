#include "tools/SandboxCommandLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Sandbox/MonteCarlo/Interval.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/Text/TerminalText.h"
#include "tools/OutputPaths.h"

namespace QVRAdKit::Sandbox {
namespace {

// The options given of those named, as "--a", "--a and --b" or "--a, --b and --c"; empty when
// none was given.
std::string givenOptions(std::initializer_list<std::pair<const char*, bool>> options) {
  std::vector<const char*> given;
  for (const auto& [name, isGiven] : options) {
    if (isGiven) given.push_back(name);
  }
  std::string text;
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (i > 0) text += i + 1 == given.size() ? " and " : ", ";
    text += given[i];
  }
  return text;
}

// Every file the run reads or writes, against every other (OutputPaths). Monte Carlo runs write
// no events file and keep no store: only their configuration and their tables count.
void checkPaths(const SandboxToolOptions& options, std::vector<std::string>& problems) {
  using Role = OutputPaths::Role;
  OutputPaths paths;
  if (options.configPath) {
    paths.add("--config", *options.configPath, Role::read,
              "leave --config out for the embedded configuration");
  }
  if (options.comparePath) paths.add("--compare", *options.comparePath, Role::read);
  const bool trials = options.sessions || options.seedRange;
  if (options.shardOut) {
    // Written when the sessions end: a place it cannot go is found before they start.
    if (trials) {
      paths.addFileOutput("--shard-out", *options.shardOut);
    } else {
      paths.add("--shard-out", *options.shardOut, Role::write);
    }
  }
  // The summary in JSON, the tables (text or JSON), or the narration and the text summary go to
  // standard output; with the events there (-), the narration and summary go to stderr.
  if (options.json) {
    paths.addStandardOutput("--json");
  } else if (trials) {
    paths.addStandardOutput("the tables");
  } else if (!OutputPaths::namesStandardOutput(options.eventsPath)) {
    paths.addStandardOutput(options.quiet ? "the summary" : "the narration");
  }
  if (!trials) {
    paths.add("--events", options.eventsPath, Role::write, "use - for stdout");
    if (!options.storagePath.empty()) {
      if (OutputPaths::namesStandardOutput(options.storagePath)) {
        problems.emplace_back("--storage: the store must be a file, not standard output");
      } else {
        paths.add("--storage", options.storagePath, Role::write);
      }
    }
    if (!options.inspectHtml.empty()) {
      if (OutputPaths::namesStandardOutput(options.inspectHtml)) {
        problems.emplace_back("--inspect-html: the page must be a file, not standard output");
      } else {
        paths.add("--inspect-html", options.inspectHtml, Role::write);
      }
    }
  }
  problems.insert(problems.end(), paths.problems().begin(), paths.problems().end());
}

}  // namespace

void SandboxCommandLine::define(CLI::App& app, SandboxToolOptions& options) {
  // Through a function: an optional target would read an empty path as no path at all.
  app.add_option_function<std::string>(
      "--config", [&options](const std::string& path) { options.configPath = path; },
      "JSON configuration file (default: the embedded configuration); every problem of the file "
      "is listed before anything runs");
  app.add_option_function<std::string>(
      "--seed",
      [&options](const std::string& seed) {
        options.seed = seed;
        options.seedGiven = true;
      },
      "Seed of every random draw, 0 to 2^64-1 (default: 1)");
  app.add_option("--minutes", options.minutes,
                 "Minutes of simulated time, more than 0, at most " + std::to_string(kMaxMinutes))
      ->capture_default_str();
  // Through a function: a Monte Carlo run refuses --events given, not its default.
  app.add_option_function<std::string>(
         "--events",
         [&options](const std::string& path) {
           options.eventsPath = path;
           options.eventsGiven = true;
         },
         "Analytics events as JSON lines to this file, or - for stdout")
      ->default_str(options.eventsPath);
  app.add_option("--storage", options.storagePath,
                 "SQLite file of the host's storage, kept after the run, so an ads pause "
                 "survives; a later run on it resumes simulated time where the last one ended, "
                 "after --gap (default: a temporary file, removed at the end)")
      ->check(nonEmptyPath());
  app.add_option_function<std::string>(
      "--gap", [&options](const std::string& text) { options.gap = text; },
      "Simulated time between the last session on the --storage file and this one: seconds, or "
      "a whole number with s, m, h or d (90s, 15m, 1h, 2d), at most " +
          std::to_string(kMaxGapDays) + "d (default: 1h)");
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
          "; writes no events file and keeps no storage. 95% intervals: rates by the Wilson "
          "score interval on the effective number of trials that the spread over sessions gives "
          "(the session, not the request, is the independent unit), means per session by "
          "Student's t with the sample standard deviation, cut at 0 (Wilson for counts of two "
          "neighbouring values; widened when every session counted the same); none for means "
          "below " +
          std::to_string(kMinSessionsForSpread) +
          " sessions; latency p50/p90/p99 from a log-bucketed histogram, within 0.8% of the "
          "exact value");
  app.add_option_function<std::string>(
         "--jobs",
         [&options](const std::string& jobs) {
           options.jobs = jobs;
           options.jobsGiven = true;
         },
         "Threads for --sessions, from 1 to " + std::to_string(MonteCarloRunner::kMaxJobs))
      ->default_str(options.jobs);
  defineTrialOptions(app, options);
  app.add_option_function<std::string>(
      "--inspect-at",
      [&options](const std::string& times) {
        options.inspectAt = times;
        options.inspectAtGiven = true;
      },
      "Print a snapshot of the ads service at these session times (seconds, mm:ss or "
      "hh:mm:ss, comma-separated)");
  app.add_option("--inspect-html", options.inspectHtml,
                 "Write every snapshot to this HTML page (default time: the session end)")
      ->check(nonEmptyPath());
  app.add_flag("--print-default-config", options.printDefaultConfig,
               "Print the embedded configuration and exit");
  app.add_flag("--check-integration", options.checkIntegration,
               "Print what the host's wiring of the ads module lacks, with fixes, and exit");
}

void SandboxCommandLine::defineTrialOptions(CLI::App& app, SandboxToolOptions& options) {
  // Through functions: an optional target would read an empty path as no path at all.
  app.add_option_function<std::string>(
      "--seed-range", [&options](const std::string& range) { options.seedRange = range; },
      "Run the sessions of seeds FIRST..LAST (both included) instead of --seed and --sessions: "
      "one shard of a run spread over processes or machines");
  app.add_option_function<std::string>(
      "--shard-out", [&options](const std::string& path) { options.shardOut = path; },
      "With --sessions or --seed-range: also write the run's mergeable state to this file, for "
      "'qvr-sandbox merge'");
  app.add_option_function<std::string>(
      "--compare", [&options](const std::string& path) { options.comparePath = path; },
      "With --sessions or --seed-range: play every seed also with this configuration (B) and "
      "report B - A per placement and network, with 95% intervals paired by seed (means per "
      "session: Student's t on the per-seed differences; rates: each side's Wilson interval "
      "combined "
      "with their correlation over the seeds, Newcombe's method; "
      "none below " +
          std::to_string(kMinSessionsForSpread) + " seeds)");
}

std::optional<SandboxCommandLine::SeedRange> SandboxCommandLine::seedRange(std::string_view text) {
  const auto dots = text.find("..");
  if (dots == std::string_view::npos) return std::nullopt;
  const auto first = seed(text.substr(0, dots));
  const auto last = seed(text.substr(dots + 2));
  if (!first || !last || *first > *last) return std::nullopt;
  return SeedRange{*first, *last};
}

std::vector<std::string> SandboxCommandLine::validateTrials(const SandboxToolOptions& options) {
  std::vector<std::string> problems;
  const bool trials = options.sessions || options.seedRange;
  if (options.seedRange) {
    const auto range = seedRange(*options.seedRange);
    if (!range) {
      problems.push_back(
          "--seed-range: must be FIRST..LAST, two whole numbers from 0 to 18446744073709551615 "
          "with FIRST <= LAST, found " +
          TerminalText::quoted(*options.seedRange));
    } else if (range->last - range->first >= MonteCarloRunner::kMaxSessions) {
      problems.push_back("--seed-range: at most " + std::to_string(MonteCarloRunner::kMaxSessions) +
                         " seeds per process, found " + TerminalText::quoted(*options.seedRange) +
                         " (split it into more shards)");
    }
    if (options.sessions) problems.emplace_back("--seed-range: not with --sessions");
    if (options.seedGiven) problems.emplace_back("--seed-range: not with --seed");
    if (const auto given = givenOptions({{"--storage", !options.storagePath.empty()},
                                         {"--inspect-at", !options.inspectAt.empty()},
                                         {"--inspect-html", !options.inspectHtml.empty()}});
        !given.empty()) {
      problems.push_back(given + ": not with --seed-range");
    }
    if (options.eventsGiven && !options.sessions) {
      problems.emplace_back("--events: not with --seed-range (its sessions write no events file)");
    }
  }
  // Their paths (empty, or naming another file of the run) are checked with the others.
  if (!trials && options.shardOut) {
    problems.emplace_back("--shard-out: only with --sessions or --seed-range");
  }
  if (!trials && options.comparePath) {
    problems.emplace_back("--compare: only with --sessions or --seed-range");
  }
  if (!trials && options.jobsGiven) {
    problems.emplace_back("--jobs: only with --sessions or --seed-range");
  }
  return problems;
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

std::optional<double> SandboxCommandLine::gap(std::string_view text) {
  double unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 's':
        unit = 1;
        break;
      case 'm':
        unit = 60;
        break;
      case 'h':
        unit = 3600;
        break;
      case 'd':
        unit = 86400;
        break;
      default:
        unit = 0;
    }
    if (unit != 0) text.remove_suffix(1);
  }
  const auto number = seed(text);  // the same whole-number rule
  const double seconds = number ? static_cast<double>(*number) * (unit != 0 ? unit : 1) : -1;
  if (seconds < 0 || seconds > kMaxGapDays * 86400.0) return std::nullopt;
  return seconds;
}

CLI::Validator SandboxCommandLine::nonEmptyPath() {
  return CLI::Validator(
      [](const std::string& path) { return path.empty() ? "the path is empty" : std::string(); },
      "PATH");
}

std::optional<std::uint64_t> SandboxCommandLine::count(std::string_view text, std::uint64_t max) {
  const auto value = seed(text);  // the same whole-number rule
  if (!value || *value < 1 || *value > max) return std::nullopt;
  return value;
}

std::vector<std::string> SandboxCommandLine::validate(const SandboxToolOptions& options) {
  std::vector<std::string> problems;
  if (options.printDefaultConfig) return problems;  // runs nothing
  checkPaths(options, problems);
  if (!seed(options.seed)) {
    problems.push_back("--seed: must be a whole number from 0 to 18446744073709551615, found " +
                       TerminalText::quoted(options.seed));
  }
  if (!minutes(options.minutes)) {
    problems.push_back("--minutes: must be a number more than 0 and at most " +
                       std::to_string(kMaxMinutes) + ", found " +
                       TerminalText::quoted(options.minutes));
  }
  if (options.gap) {
    if (!gap(*options.gap)) {
      problems.push_back("--gap: must be a whole number of seconds, or of s, m, h or d, at most " +
                         std::to_string(kMaxGapDays) + "d, found " +
                         TerminalText::quoted(*options.gap));
    }
    if (options.storagePath.empty()) {
      problems.emplace_back(
          "--gap: only with --storage (a temporary store has no earlier "
          "session to resume)");
    }
  }
  if (options.sessions) {
    const auto sessions = count(*options.sessions, MonteCarloRunner::kMaxSessions);
    const auto firstSeed = seed(options.seed);
    if (!sessions) {
      problems.push_back("--sessions: must be a whole number from 1 to " +
                         std::to_string(MonteCarloRunner::kMaxSessions) + ", found " +
                         TerminalText::quoted(*options.sessions));
    } else if (firstSeed &&
               *sessions - 1 > std::numeric_limits<std::uint64_t>::max() - *firstSeed) {
      problems.emplace_back("--sessions: the last session's seed would not fit 64 bits");
    }
    if (!options.storagePath.empty()) {
      problems.emplace_back(
          "--storage: not with --sessions (each session keeps its own store in "
          "memory)");
    }
    if (const auto given = givenOptions({{"--inspect-at", !options.inspectAt.empty()},
                                         {"--inspect-html", !options.inspectHtml.empty()}});
        !given.empty()) {
      problems.push_back(given + ": not with --sessions");
    }
    if (options.eventsGiven) {
      problems.emplace_back("--events: not with --sessions (its sessions write no events file)");
    }
  }
  if (!count(options.jobs, MonteCarloRunner::kMaxJobs)) {
    problems.push_back("--jobs: must be a whole number from 1 to " +
                       std::to_string(MonteCarloRunner::kMaxJobs) + ", found " +
                       TerminalText::quoted(options.jobs));
  }
  if (options.inspectAtGiven && options.inspectAt.empty()) {
    problems.emplace_back("--inspect-at: name at least one session time");
  } else if (!options.inspectAt.empty() && options.quiet && options.inspectHtml.empty()) {
    // Snapshots are printed in the narration, which --quiet leaves out: they would go nowhere.
    problems.emplace_back(
        "--inspect-at: its snapshots are printed in the narration, which --quiet leaves out (add "
        "--inspect-html FILE to keep them in a page)");
  }
  for (auto& problem : validateTrials(options)) problems.push_back(std::move(problem));
  return problems;
}

}  // namespace QVRAdKit::Sandbox
