#include "tools/SandboxTool.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Inspector/SandboxInspector.h"
#include "Sandbox/Logging/StderrLogger.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/ProgressBar.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "tools/BannerSvgCommand.h"
#include "tools/Interruption.h"
#include "tools/SandboxCommandLine.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kProgram = "qvr-sandbox";

// 128 + the signal, as a shell reports a process the signal ended.
int interruptedCode() {
  return 128 + Interruption::signal();
}

// One line on err, whatever the message holds.
void say(std::ostream& err, std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  err << kProgram << ": " << message << '\n';
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

// The configuration to run, after printing its warnings; none (errors printed) when it has errors.
std::optional<SandboxConfiguration> configuration(const SandboxToolOptions& options,
                                                  std::ostream& err) {
  const bool fromFile = options.configPath.has_value();
  auto check = fromFile ? SandboxConfigurationCheck::ofFile(*options.configPath)
                        : SandboxConfigurationCheck::ofText(kDefaultSandboxConfigurationJson);
  const std::string origin = fromFile ? *options.configPath + ": " : "embedded configuration: ";
  for (const auto& line : check.warnings) {
    std::string text = "warning: ";
    text += origin;
    text += line;
    say(err, std::move(text));
  }
  // The lines of a file that cannot be read name it already.
  const bool aboutTheFile = check.code == SandboxConfiguration::ErrorCode::unreadable;
  for (const auto& line : check.errors) say(err, (aboutTheFile ? "" : origin) + line);
  return std::move(check.configuration);
}

// Plays the sessions and prints their tables on out, with a progress bar on err when that is a
// terminal. Writes no events file and keeps no storage.
int runMonteCarlo(const SandboxToolOptions& options, const SandboxHostOptions& host,
                  std::ostream& out, std::ostream& err, bool errIsTerminal) {
  MonteCarloRunner::Options trials;
  trials.configuration = host.configuration;
  trials.firstSeed = host.seed;
  trials.sessions =
      SandboxCommandLine::count(*options.sessions, MonteCarloRunner::kMaxSessions).value_or(1);
  trials.jobs = static_cast<unsigned>(
      SandboxCommandLine::count(options.jobs, MonteCarloRunner::kMaxJobs).value_or(1));
  trials.duration = host.duration;
  trials.premium = host.premium;
  ProgressBar bar(err, errIsTerminal, trials.sessions, "sessions");
  trials.progress = [&bar](std::uint64_t done, std::uint64_t) { bar.update(done); };
  trials.stopRequested = Interruption::requested;
  auto report = MonteCarloRunner::run(trials);
  bar.finish();
  if (!report) {
    say(err, report.error().localizedDescription);
    return SandboxTool::kBadInput;
  }
  out << (options.json ? MonteCarloTables::json(*report) + "\n" : MonteCarloTables::text(*report));
  out.flush();
  if (!out) return SandboxTool::kOutputLost;
  if (report->stopped) {
    say(err, "interrupted: the tables cover the " + std::to_string(report->sessions) + " of " +
                 std::to_string(trials.sessions) + " sessions that ended");
    return interruptedCode();
  }
  return SandboxTool::kDone;
}

// Builds the session's environment and ads service, prints the integration report, plays
// nothing.
int printIntegration(SandboxHostOptions& host, std::ostream& out) {
  const StorageFile storage("");
  host.storagePath = storage.path();
  host.duration = 0;
  host.integration = [&out](const IntegrationReport& report) { out << report.text(); };
  if (!SandboxHost::run(host)) return SandboxTool::kBadInput;
  out.flush();
  return out ? SandboxTool::kDone : SandboxTool::kOutputLost;
}

}  // namespace

int SandboxTool::main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  SandboxToolOptions options;
  CLI::App app{
      "Plays the host application around the ads module in simulated time, on simulated "
      "ad networks, and prints what the host sees.",
      kProgram};
  SandboxCommandLine::define(app, options);
  Tools::BannerSvgCommand bannerSvg;
  bannerSvg.addTo(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kDone;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kDone;
  } catch (const CLI::ParseError& error) {
    say(err, std::string(error.what()) + " (see --help)");
    return kBadInput;
  }
  // The banner picture plays no session: the session's options do not apply.
  if (bannerSvg.requested()) return bannerSvg.run();
  const auto problems = SandboxCommandLine::validate(options);
  for (const auto& problem : problems) say(err, problem);
  if (!problems.empty()) return kBadInput;
  try {
    return run(options, out, err);
  } catch (const std::exception& error) {
    say(err, std::string("internal error: ") + error.what());
    return kOutputLost;
  }
}

int SandboxTool::run(const SandboxToolOptions& options, std::ostream& out, std::ostream& err) {
  if (options.printDefaultConfig) {
    out << kDefaultSandboxConfigurationJson;
    out.flush();
    return out ? kDone : kOutputLost;
  }
  auto configured = configuration(options, err);
  if (!configured) return kBadInput;

  SandboxHostOptions host;
  host.configuration = std::move(*configured);
  host.configuration.consent.region = options.region == "not-required"
                                          ? ConsentRegion::consentNotRequired
                                          : ConsentRegion::consentRequired;
  host.configuration.consent.userAnswer =
      options.answer == "reject" ? ConsentUserAnswer::rejectAll() : ConsentUserAnswer::acceptAll();
  host.seed = SandboxCommandLine::seed(options.seed).value_or(1);
  host.duration = SandboxCommandLine::minutes(options.minutes).value_or(0) * 60;
  host.premium = options.premium;
  if (options.checkIntegration) return printIntegration(host, out);
  if (options.sessions) {
    // The bar is for a person watching stderr; text streams (tests) and pipes get none.
    const bool errIsTerminal = &err == &std::cerr && isatty(STDERR_FILENO) != 0;
    return runMonteCarlo(options, host, out, err, errIsTerminal);
  }

  // stdout carries one kind of output: the events (-), the JSON summary (--json), or the
  // narration and the text summary. The rest goes to stderr.
  const bool eventsOnStdout = options.eventsPath == "-";
  std::ostream& narration = eventsOnStdout || options.json ? err : out;
  std::shared_ptr<JsonLinesReporting> events;
  if (eventsOnStdout) {
    events = std::make_shared<JsonLinesReporting>(out, "the events to stdout");
  } else {
    auto opened =
        JsonLinesReporting::openFile(options.eventsPath, JsonLinesReporting::OpenMode::truncate);
    if (!opened) {
      say(err, opened.error().localizedDescription);
      return kBadInput;
    }
    events = std::move(opened).value();
  }
  host.reporting = events;
  if (!options.quiet) {
    host.logger = std::make_shared<StderrLogger>(LogFlag::warning);
    host.narrator = [&narration](std::string_view line) { narration << line << '\n'; };
  }

  // Bad inspection times or an unwritable page are refused before the session runs.
  auto inspector = SandboxInspector::create(options.inspectAt, options.inspectHtml, host.duration,
                                            std::string(kProgram) + ", seed " + options.seed);
  if (!inspector) {
    say(err, inspector.error().localizedDescription);
    return kBadInput;
  }
  (*inspector)->attach(host);

  const StorageFile storage(options.storagePath);
  host.storagePath = storage.path();
  host.stopRequested = Interruption::requested;
  auto summary = SandboxHost::run(host);
  const auto pageError = (*inspector)->finish();
  // Whatever happened, what was tracked goes out now.
  const auto writeError = events->flush();
  if (!summary) {
    say(err, summary.error().localizedDescription);
    return kBadInput;
  }
  // Only what reached the file counts as written.
  summary->events = events->written();
  summary->eventsLost = events->lost();

  if (options.json) {
    out << summary->json() << '\n';
  } else {
    if (!options.quiet) narration << '\n';
    narration << summary->text();
    if (!eventsOnStdout) narration << "Events file: " << options.eventsPath << '\n';
  }
  out.flush();
  err.flush();
  if (pageError) {
    say(err, pageError->localizedDescription);
    return kOutputLost;
  }
  if (writeError) {
    say(err, writeError->localizedDescription + " (" + std::to_string(summary->eventsLost) +
                 " events lost)");
    return kOutputLost;
  }
  if (!out) {
    say(err, std::string("cannot write to stdout: ") + std::strerror(errno));
    return kOutputLost;
  }
  if (summary->simulatedSeconds < host.duration && Interruption::requested()) {
    // Rounded as the summary's own line rounds it.
    std::array<char, 32> minutes{};
    std::snprintf(minutes.data(), minutes.size(), "%.0f", summary->simulatedSeconds / 60);
    say(err, std::string("interrupted: the summary covers the first ") + minutes.data() +
                 " simulated minutes");
    return interruptedCode();
  }
  return kDone;
}

}  // namespace QVRAdKit::Sandbox
