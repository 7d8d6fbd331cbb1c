// qvr-sandbox: plays the host application around the ads module for a stretch of simulated time,
// on simulated ad networks and a simulated consent platform, and prints what the host sees and a
// summary. Bad input ends it with one line on stderr and exit code 2.

#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfiguration.h"
#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Logging/StderrLogger.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/ProgressBar.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"

namespace {

using namespace QVRAdKit;
using namespace QVRAdKit::Sandbox;

constexpr int kBadInput = 2;
constexpr const char* kProgram = "qvr-sandbox";

int badInput(std::string message) {
  // One line, whatever the message holds.
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::cerr << kProgram << ": " << message << '\n';
  return kBadInput;
}

// A storage file in the system's temporary directory that no other run uses.
std::string temporaryStoragePath() {
  std::random_device entropy;
  std::error_code ignored;
  const auto directory = std::filesystem::temp_directory_path(ignored);
  for (;;) {
    const auto path = directory / ("qvr-sandbox-" + std::to_string(entropy()) + "-" +
                                   std::to_string(entropy()) + ".sqlite");
    if (!std::filesystem::exists(path, ignored)) return path.string();
  }
}

// The storage file of a run: the given one, kept; or a temporary one, removed with its journal
// files when the run ends, however it ends.
class StorageFile {
 public:
  explicit StorageFile(const std::string& given)
      : temporary_(given.empty()), path_(temporary_ ? temporaryStoragePath() : given) {}
  ~StorageFile() {
    if (!temporary_) return;
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::filesystem::remove(path_ + suffix, ignored);
    }
  }
  StorageFile(const StorageFile&) = delete;
  StorageFile& operator=(const StorageFile&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  bool temporary_;
  std::string path_;
};

struct CommandLine {
  std::string configPath;
  std::uint64_t seed = 1;
  double minutes = 120;
  std::string eventsPath = "sandbox-events.jsonl";
  std::string storagePath;
  std::string region = "required";
  std::string answer = "accept";
  bool premium = false;
  bool quiet = false;
  bool printDefaultConfig = false;
  // Monte Carlo trials: --sessions given.
  bool monteCarlo = false;
  std::uint64_t sessions = 1;
  unsigned jobs = 1;
  bool json = false;
};

// Plays the sessions and prints their tables (stdout), with a progress bar on stderr when that is
// a terminal. Writes no events file and keeps no storage.
int runMonteCarlo(const CommandLine& commandLine, const SandboxHostOptions& host) {
  MonteCarloRunner::Options options;
  options.configuration = host.configuration;
  options.firstSeed = host.seed;
  options.sessions = commandLine.sessions;
  options.jobs = commandLine.jobs;
  options.duration = host.duration;
  options.premium = host.premium;
  if (auto reason = MonteCarloRunner::problem(options)) return badInput(*reason);
  auto bar = ProgressBar::forDescriptor(STDERR_FILENO, std::cerr, options.sessions, "sessions");
  options.progress = [&bar](std::uint64_t done, std::uint64_t) { bar.update(done); };
  auto report = MonteCarloRunner::run(options);
  bar.finish();
  if (!report) return badInput(report.error().localizedDescription);
  std::cout << (commandLine.json ? MonteCarloTables::json(*report) + "\n"
                                 : MonteCarloTables::text(*report));
  std::cout.flush();
  return 0;
}

int run(const CommandLine& commandLine) {
  if (commandLine.printDefaultConfig) {
    std::cout << kDefaultSandboxConfigurationJson;
    return 0;
  }

  SandboxHostOptions options;
  if (!commandLine.configPath.empty()) {
    auto loaded = SandboxConfiguration::load(commandLine.configPath);
    if (!loaded) return badInput(loaded.error().localizedDescription);
    options.configuration = std::move(loaded).value();
  }
  options.configuration.consent.region = commandLine.region == "not-required"
                                             ? ConsentRegion::consentNotRequired
                                             : ConsentRegion::consentRequired;
  options.configuration.consent.userAnswer = commandLine.answer == "reject"
                                                 ? ConsentUserAnswer::rejectAll()
                                                 : ConsentUserAnswer::acceptAll();
  options.seed = commandLine.seed;
  options.duration = commandLine.minutes * 60;
  options.premium = commandLine.premium;
  if (commandLine.monteCarlo) return runMonteCarlo(commandLine, options);
  if (commandLine.json) return badInput("--json: only with --sessions");

  // Events on stdout keep stdout pure JSON lines: the narration and the summary go to stderr.
  const bool eventsOnStdout = commandLine.eventsPath == "-";
  std::ostream& out = eventsOnStdout ? std::cerr : std::cout;
  std::ofstream eventsFile;
  if (eventsOnStdout) {
    options.reporting = std::make_shared<JsonLinesReporting>(std::cout);
  } else {
    eventsFile.open(commandLine.eventsPath, std::ios::out | std::ios::trunc);
    if (!eventsFile.is_open()) {
      return badInput("cannot write the events file \"" + commandLine.eventsPath +
                      "\": " + std::strerror(errno));
    }
    options.reporting = std::make_shared<JsonLinesReporting>(eventsFile);
  }
  if (!commandLine.quiet) {
    options.logger = std::make_shared<StderrLogger>(LogFlag::warning);
    options.narrator = [&out](std::string_view line) { out << line << '\n'; };
  }

  const StorageFile storage(commandLine.storagePath);
  options.storagePath = storage.path();
  auto summary = SandboxHost::run(options);
  if (!summary) return badInput(summary.error().localizedDescription);

  if (!commandLine.quiet) out << '\n';
  out << summary->text();
  if (!eventsOnStdout) out << "Events file: " << commandLine.eventsPath << '\n';
  out.flush();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that stops early (qvr-sandbox | head) must not kill the run before it removes its
  // temporary storage: writes to a closed pipe then simply fail.
  std::signal(SIGPIPE, SIG_IGN);
  CommandLine commandLine;
  CLI::App app{
      "Plays the host application around the ads module in simulated time, on simulated "
      "ad networks, and prints what the host sees.",
      kProgram};
  app.add_option("--config", commandLine.configPath,
                 "JSON configuration file (default: the embedded configuration)");
  // Unsigned conversion would wrap a negative number around.
  const CLI::Validator wholeNumber(
      [](const std::string& text) -> std::string {
        if (!text.empty() &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
          return {};
        }
        return "must be a whole number from 0, found " + text;
      },
      "UINT");
  app.add_option("--seed", commandLine.seed, "Seed of every random draw")
      ->capture_default_str()
      ->check(wholeNumber);
  app.add_option("--minutes", commandLine.minutes, "Minutes of simulated time")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](const std::string& text) -> std::string {
            try {
              const double value = std::stod(text);
              if (std::isfinite(value) && value >= 0) return {};
            } catch (const std::exception&) {
            }
            return "must be a non-negative number of minutes, found " + text;
          },
          "NONNEGATIVE"));
  app.add_option("--events", commandLine.eventsPath,
                 "Analytics events as JSON lines to this file, or - for stdout")
      ->capture_default_str();
  app.add_option("--storage", commandLine.storagePath,
                 "SQLite file of the host's storage, kept after the run (default: a temporary "
                 "file, removed at the end)");
  app.add_option("--region", commandLine.region, "Where the simulated user is for consent")
      ->capture_default_str()
      ->check(CLI::IsMember({"required", "not-required"}));
  app.add_option("--answer", commandLine.answer, "What the user answers on the consent form")
      ->capture_default_str()
      ->check(CLI::IsMember({"accept", "reject"}));
  app.add_flag("--premium", commandLine.premium, "The user is premium (no ads)");
  app.add_flag("--quiet", commandLine.quiet, "Print only the final summary");
  app.add_option("--sessions", commandLine.sessions,
                 "Run this many independent sessions (seeds S, S+1, ...) and print their "
                 "statistics per placement and network, from 1 to " +
                     std::to_string(MonteCarloRunner::kMaxSessions))
      ->check(wholeNumber);
  app.add_option("--jobs", commandLine.jobs,
                 "Threads for --sessions, from 1 to " + std::to_string(MonteCarloRunner::kMaxJobs))
      ->capture_default_str()
      ->check(wholeNumber);
  app.add_flag("--json", commandLine.json, "With --sessions: the statistics as one JSON object");
  app.add_flag("--print-default-config", commandLine.printDefaultConfig,
               "Print the embedded configuration and exit");

  try {
    app.parse(argc, argv);
    commandLine.monteCarlo = app.count("--sessions") > 0;
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    return badInput(std::string(error.what()) + " (see --help)");
  }

  try {
    return run(commandLine);
  } catch (const std::exception& error) {
    std::cerr << kProgram << ": internal error: " << error.what() << '\n';
    return 1;
  }
}
