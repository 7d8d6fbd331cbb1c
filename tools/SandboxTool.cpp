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
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"
#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Inspector/SandboxInspector.h"
#include "Sandbox/Logging/StderrLogger.h"
#include "Sandbox/MonteCarlo/ComparisonTables.h"
#include "Sandbox/MonteCarlo/MonteCarloRunner.h"
#include "Sandbox/MonteCarlo/MonteCarloTables.h"
#include "Sandbox/MonteCarlo/ProgressBar.h"
#include "Sandbox/Output/TemporaryFiles.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "Sandbox/Storage/SQLiteKeyValueStore.h"
#include "Sandbox/Text/TerminalText.h"
#include "tools/BannerSvgCommand.h"
#include "tools/CheckedOutput.h"
#include "tools/Interruption.h"
#include "tools/MergeCommand.h"
#include "tools/OutputPaths.h"
#include "tools/SandboxCommandLine.h"
#include "tools/ServeCommand.h"
#include "tools/TrialFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

constexpr const char* kProgram = "qvr-sandbox";

// 128 + the signal, as a shell reports a process the signal ended.
int interruptedCode() {
  return 128 + Interruption::signal();
}

// One line on err, whatever the message holds: line breaks become spaces, and bytes that are not
// valid UTF-8, other controls and bidirectional controls (text from a file) are shown escaped.
void say(std::ostream& err, std::string message) {
  SandboxTool::say(err, std::move(message));
}

constexpr std::string_view kTemporaryStorePrefix = "qvr-sandbox-";

// A storage file in the system's temporary directory that no other run uses
// ("qvr-sandbox-PID-RANDOM.sqlite"). Those that runs killed outright left, with their journals,
// are removed first.
std::string temporaryStoragePath() {
  std::random_device entropy;
  std::error_code ignored;
  const auto directory = std::filesystem::temp_directory_path(ignored);
  (void)TemporaryFiles::sweep(directory, kTemporaryStorePrefix,
                              {".sqlite", ".sqlite-wal", ".sqlite-shm", ".sqlite-journal"});
  for (;;) {
    const auto path = directory / (std::string(kTemporaryStorePrefix) + TemporaryFiles::tag() +
                                   std::to_string(entropy()) + ".sqlite");
    if (!std::filesystem::exists(path, ignored)) return path.string();
  }
}

constexpr std::array<const char*, 4> kStoreFileSuffixes = {"", "-wal", "-shm", "-journal"};

// The storage file of a run: the given one, kept; or a temporary one, removed with its journal
// files when the run ends, however it ends (by a second signal too: TemporaryFiles).
class StorageFile {
 public:
  explicit StorageFile(const std::string& given)
      : temporary_(given.empty()), path_(temporary_ ? temporaryStoragePath() : given) {
    if (!temporary_) return;
    for (std::size_t i = 0; i < kStoreFileSuffixes.size(); ++i) {
      slots_[i] = TemporaryFiles::add(path_ + kStoreFileSuffixes[i]);
    }
  }
  ~StorageFile() {
    if (!temporary_) return;
    std::error_code ignored;
    for (std::size_t i = 0; i < kStoreFileSuffixes.size(); ++i) {
      std::filesystem::remove(path_ + kStoreFileSuffixes[i], ignored);
      TemporaryFiles::forget(slots_[i]);
    }
  }
  StorageFile(const StorageFile&) = delete;
  StorageFile& operator=(const StorageFile&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  [[nodiscard]] bool temporary() const { return temporary_; }

 private:
  bool temporary_;
  std::string path_;
  std::array<int, kStoreFileSuffixes.size()> slots_{-1, -1, -1, -1};
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

// The seeds a Monte Carlo run plays: --seed-range, or --sessions from --seed.
SandboxCommandLine::SeedRange trialSeeds(const SandboxToolOptions& options, std::uint64_t seed) {
  if (options.seedRange) {
    return SandboxCommandLine::seedRange(*options.seedRange)
        .value_or(SandboxCommandLine::SeedRange{});
  }
  const auto sessions =
      SandboxCommandLine::count(options.sessions.value_or("1"), MonteCarloRunner::kMaxSessions)
          .value_or(1);
  return {seed, seed + sessions - 1};
}

// The options given that a command other than the main run does not read, each refused on a
// line of its own rather than dropped unseen: applies(option) says which of the program's options
// it reads; one that its own subcommand (command) also takes is to be given after its name.
template <typename Applies>
std::vector<std::string> misplacedOptions(const CLI::App& app, const std::string& name,
                                          const Applies& applies,
                                          const CLI::App* command = nullptr) {
  std::vector<std::string> problems;
  for (const CLI::Option* option : app.get_options()) {
    if (option->count() == 0 || applies(*option)) continue;
    std::string problem = option->get_name();
    const bool itsOwnToo = command && command->get_option_no_throw(problem) != nullptr;
    problem += itsOwnToo ? ": give it after " : ": does not apply to ";
    problem += name;
    problems.push_back(std::move(problem));
  }
  return problems;
}

// The main run's options given before a subcommand, which reads only its own.
std::vector<std::string> misplacedOptions(const CLI::App& app, const CLI::App& command) {
  return misplacedOptions(
      app, command.get_name(), [](const CLI::Option& /*option*/) { return false; }, &command);
}

// What body answers; an exception it lets through is an internal error, said on one line.
template <typename Body>
int guarded(std::ostream& err, const Body& body) {
  try {
    return body();
  } catch (const std::exception& error) {
    say(err, std::string("internal error: ") + error.what());
    return SandboxTool::kOutputLost;
  }
}

// "1 session", "2 sessions".
std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The configuration to compare with, as the run's own is set up; none (errors printed) when it
// has errors.
std::optional<SandboxConfiguration> candidate(const SandboxToolOptions& options,
                                              const SandboxConfiguration& own, std::ostream& err) {
  SandboxToolOptions compared = options;
  compared.configPath = options.comparePath;
  auto configured = configuration(compared, err);
  if (!configured) return std::nullopt;
  configured->consent = own.consent;
  return configured;
}

// What the shard of a run says about it, taken before the run (the configurations as they were
// played); its report comes when the run ends.
Platform::Expected<TrialShard> shardOf(const SandboxToolOptions& options,
                                       const SandboxCommandLine::SeedRange& seeds) {
  TrialShard shard;
  shard.toolVersion = TrialFiles::toolVersion();
  auto own = TrialFiles::fingerprint(options.configPath, options.region, options.answer);
  if (!own) return own.error();
  shard.configuration = *own;
  if (options.comparePath) {
    auto compared = TrialFiles::fingerprint(options.comparePath, options.region, options.answer);
    if (!compared) return compared.error();
    shard.candidate = *compared;
  }
  shard.premium = options.premium;
  shard.requestedFirst = seeds.first;
  shard.requestedLast = seeds.last;
  return shard;
}

// Plays the sessions and prints their tables (or their comparison) on out, with a progress bar on
// err when that is a terminal, and writes the shard when asked. Writes no events file and keeps
// no storage.
int runMonteCarlo(const SandboxToolOptions& options, const SandboxHostOptions& host,
                  std::ostream& out, std::ostream& err, bool errIsTerminal) {
  const auto seeds = trialSeeds(options, host.seed);
  MonteCarloRunner::Options trials;
  trials.configuration = host.configuration;
  if (options.comparePath) {
    trials.candidate = candidate(options, host.configuration, err);
    if (!trials.candidate) return SandboxTool::kBadInput;
  }
  std::optional<TrialShard> shard;
  if (options.shardOut) {
    auto described = shardOf(options, seeds);
    if (!described) {
      say(err, described.error().localizedDescription);
      return SandboxTool::kBadInput;
    }
    shard = std::move(described).value();
  }
  trials.firstSeed = seeds.first;
  trials.sessions = seeds.last - seeds.first + 1;
  trials.jobs = static_cast<unsigned>(
      SandboxCommandLine::count(options.jobs, MonteCarloRunner::kMaxJobs).value_or(1));
  trials.duration = host.duration;
  trials.premium = host.premium;
  ProgressBar bar(err, errIsTerminal, trials.sessions,
                  trials.sessions == 1 ? "session" : "sessions");
  trials.progress = [&bar](std::uint64_t done, std::uint64_t) { bar.update(done); };
  trials.stopRequested = Interruption::requested;
  Interruption::setStopsAtOnce(false);  // from here a signal stops the sessions between two
  auto report = MonteCarloRunner::run(trials);
  bar.finish();
  if (!report) {
    say(err, report.error().localizedDescription);
    return SandboxTool::kBadInput;
  }
  CheckedOutput tables(out);
  if (report->comparison) {
    tables.put("the tables", options.json ? ComparisonTables::json(*report) + "\n"
                                          : ComparisonTables::text(*report));
  } else {
    tables.put("the tables", options.json ? MonteCarloTables::json(*report) + "\n"
                                          : MonteCarloTables::text(*report));
  }
  tables.flush("the tables");
  // The shard does not go through standard output: it is written whether the tables were or not.
  std::optional<Platform::Error> shardError;
  if (shard) {
    shard->report = *report;
    shardError = TrialFiles::write(*shard, *options.shardOut);
  }
  if (tables.failure()) say(err, *tables.failure());
  if (shardError) say(err, shardError->localizedDescription);
  if (tables.failure() || shardError) return SandboxTool::kOutputLost;
  if (report->stopped) {
    say(err, "interrupted: the tables cover the " + std::to_string(report->sessions) + " of " +
                 counted(trials.sessions, "session") + " that ended");
    return interruptedCode();
  }
  return SandboxTool::kDone;
}

// Builds the session's environment and ads service, prints the integration report, plays
// nothing.
int printIntegration(SandboxHostOptions& host, std::ostream& out, std::ostream& err) {
  const StorageFile storage("");
  host.storagePath = storage.path();
  host.duration = 0;
  CheckedOutput checked(out);
  host.integration = [&checked](const IntegrationReport& report) {
    checked.put("the integration report", report.text());
  };
  if (!SandboxHost::run(host)) return SandboxTool::kBadInput;
  checked.flush("the integration report");
  if (!checked.failure()) return SandboxTool::kDone;
  say(err, *checked.failure());
  return SandboxTool::kOutputLost;
}

// CLI11's own wording for an option given too often, too few values or a word no option takes,
// in the words of the other problems: the option first, then what is wrong and what to do.
std::string plainParseError(const CLI::ParseError& error, const CLI::App& app) {
  std::string text = error.what();
  const auto colon = text.find(": ");
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr && colon != std::string::npos) {
    const std::string name = text.substr(0, colon);
    const std::string rest = text.substr(colon + 2);
    const std::string received = rest.substr(rest.rfind(' ') + 1);
    if (rest.starts_with("At Most 1 required")) {
      return name + ": given " + received + " times; give it once";
    }
    if (rest.starts_with("At least ")) {
      const std::string needed = rest.substr(9, rest.find(' ', 9) - 9);
      return name + ": needs " + needed + " values, found " + received;
    }
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && colon != std::string::npos) {
    const std::string extras = text.substr(colon + 2);
    const bool several = text.find("arguments were") != std::string::npos;
    const auto commands = app.get_subcommands();
    if (commands.empty()) return extras + (several ? ": not options" : ": not an option");
    const std::string& command = commands.front()->get_name();
    return command + ": " + extras + (several ? ": not options of " : ": not an option of ") +
           command;
  }
  return text;
}

}  // namespace

void SandboxTool::say(std::ostream& err, std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  err << kProgram << ": " << TerminalText::visible(message) << '\n';
}

int SandboxTool::main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  SandboxToolOptions options;
  CLI::App app{
      "Plays the host application around the ads module in simulated time, on simulated "
      "ad networks, and prints what the host sees.",
      kProgram};
  SandboxCommandLine::define(app, options);
  Tools::BannerSvgCommand bannerSvg;
  bannerSvg.addTo(app);
  Tools::ServeCommand serve;
  serve.addTo(app);
  MergeCommand merge;
  merge.addTo(app);
  // Help goes to standard output like any other output: one that cannot be written says so.
  const auto help = [&](const std::string& text) {
    CheckedOutput checked(out);
    checked.put("the help", text);
    checked.flush("the help");
    if (!checked.failure()) return kDone;
    say(err, *checked.failure());
    return kOutputLost;
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return help(app.help());
  } catch (const CLI::CallForAllHelp&) {
    return help(app.help("", CLI::AppFormatMode::All));
  } catch (const CLI::ParseError& error) {
    say(err, plainParseError(error, app) + " (see --help)");
    return kBadInput;
  }
  // Merging plays nothing: it reads shards, and the options of a run do not apply.
  if (merge.requested()) {
    const auto misplaced = misplacedOptions(app, *app.get_subcommand("merge"));
    for (const auto& problem : misplaced) say(err, problem);
    if (!misplaced.empty()) return kBadInput;
    return guarded(err, [&] { return merge.run(out, err); });
  }
  // The banner picture plays no session: the session's options, and the subcommands, do not
  // apply. Each is refused before anything is written, as is an output path it cannot use.
  if (bannerSvg.requested()) {
    auto problems = misplacedOptions(app, "--banner-svg", [](const CLI::Option& option) {
      return Tools::BannerSvgCommand::owns(option);
    });
    for (const CLI::App* command : app.get_subcommands()) {
      problems.push_back(command->get_name() + ": does not apply to --banner-svg");
    }
    for (const auto& problem : bannerSvg.outputProblems()) problems.push_back(problem);
    for (const auto& problem : problems) say(err, problem);
    if (!problems.empty()) return kBadInput;
    return guarded(err, [&] { return bannerSvg.run(out, err); });
  }
  // The workbench serves its own options: a run's given before it would be dropped unseen.
  if (serve.requested()) {
    const auto misplaced = misplacedOptions(app, *app.get_subcommand("serve"));
    for (const auto& problem : misplaced) say(err, problem);
    if (!misplaced.empty()) return kBadInput;
    return serve.run(out, err);
  }
  // The two modes that play nothing read no run's options: given, they would be ignored unseen.
  if (options.printDefaultConfig || options.checkIntegration) {
    const std::string mode =
        options.printDefaultConfig ? "--print-default-config" : "--check-integration";
    const auto misplaced = misplacedOptions(app, mode, [&](const CLI::Option& option) {
      const std::string name = option.get_name();
      return name == mode || (!options.printDefaultConfig && name == "--config");
    });
    for (const auto& problem : misplaced) say(err, problem);
    if (!misplaced.empty()) return kBadInput;
  }
  auto problems = SandboxCommandLine::validate(options);
  // The picture's options draw nothing in a session.
  for (const CLI::Option* option : app.get_options()) {
    if (option->count() > 0 && Tools::BannerSvgCommand::owns(*option)) {
      problems.push_back(option->get_name() + ": only with --banner-svg");
    }
  }
  for (const auto& problem : problems) say(err, problem);
  if (!problems.empty()) return kBadInput;
  return guarded(err, [&] { return run(options, out, err); });
}

int SandboxTool::run(const SandboxToolOptions& options, std::ostream& out, std::ostream& err) {
  CheckedOutput standardOutput(out);
  if (options.printDefaultConfig) {
    standardOutput.put("the default configuration", kDefaultSandboxConfigurationJson);
    standardOutput.flush("the default configuration");
    if (standardOutput.failure()) say(err, *standardOutput.failure());
    return standardOutput.failure() ? kOutputLost : kDone;
  }
  auto configured = configuration(options, err);
  if (!configured) {
    // The compared configuration's problems too, so that one run lists them all.
    if (options.comparePath) {
      SandboxToolOptions compared = options;
      compared.configPath = options.comparePath;
      (void)configuration(compared, err);
    }
    return kBadInput;
  }

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
  host.resumeGap = options.gap ? SandboxCommandLine::gap(*options.gap).value_or(0)
                               : SandboxCommandLine::kDefaultGapSeconds;
  if (options.checkIntegration) return printIntegration(host, out, err);
  if (options.sessions || options.seedRange) {
    // The bar is for a person watching stderr; text streams (tests) and pipes get none.
    const bool errIsTerminal = &err == &std::cerr && isatty(STDERR_FILENO) != 0;
    return runMonteCarlo(options, host, out, err, errIsTerminal);
  }

  // Everything is checked before any output is made: the inspection times first (the page's new
  // file is made beside the old one, which stays until the page is complete), then the events
  // file (the same), then the store, whose refusal removes both new files again.
  auto inspector = SandboxInspector::create(options.inspectAt, options.inspectHtml, host.duration,
                                            std::string(kProgram) + ", seed " + options.seed);
  if (!inspector) {
    say(err, inspector.error().localizedDescription);
    return kBadInput;
  }
  // stdout carries one kind of output: the events (-), the JSON summary (--json), or the
  // narration and the text summary. The rest goes to stderr.
  const bool eventsOnStdout = OutputPaths::namesStandardOutput(options.eventsPath);
  const bool narrationOnStdout = !eventsOnStdout && !options.json;
  std::shared_ptr<JsonLinesReporting> events;
  if (eventsOnStdout) {
    events = std::make_shared<JsonLinesReporting>(out, "the events to standard output");
  } else {
    auto opened = JsonLinesReporting::openFile(options.eventsPath);
    if (!opened) {
      say(err, opened.error().localizedDescription);
      return kBadInput;
    }
    events = std::move(opened).value();
  }
  const StorageFile storage(options.storagePath);
  // A temporary store needs no durability: its commits skip the sync to disk.
  SQLiteKeyValueStore::Options storeOptions;
  storeOptions.durable = !storage.temporary();
  auto store = SQLiteKeyValueStore::open(storage.path(), storeOptions);
  if (!store) {
    say(err, store.error().localizedDescription);
    return kBadInput;
  }
  host.store = *store;
  host.storagePath = storage.path();

  host.reporting = events;
  if (!options.quiet) {
    host.logger = std::make_shared<StderrLogger>(LogFlag::warning);
    // Keys and names from the configuration appear in the narration: shown, like messages, with
    // invalid bytes and direction controls escaped.
    host.narrator = [&](std::string_view line) {
      const std::string text = TerminalText::visible(line) + "\n";
      if (narrationOnStdout) {
        standardOutput.put("the narration", text);
      } else {
        err << text;
      }
    };
  }
  (*inspector)->attach(host);
  host.stopRequested = Interruption::requested;
  Interruption::setStopsAtOnce(false);  // from here a signal stops the session at its next step
  auto summary = SandboxHost::run(host);
  host.store.reset();
  store->reset();  // closed before the temporary store's files are removed
  const auto pageError =
      (*inspector)
          ->finish(summary && summary->stopped ? std::optional(summary->simulatedSeconds)
                                               : std::nullopt);
  // Whatever happened, what was tracked goes out now, and into place.
  const auto writeError = events->commit();
  if (!summary) {
    say(err, summary.error().localizedDescription);
    return kBadInput;
  }
  // Only what reached the file counts as written.
  summary->events = events->written();
  summary->eventsLost = events->lost();

  if (options.json) {
    standardOutput.put("the summary", summary->json() + "\n");
  } else {
    std::string text = options.quiet ? "" : "\n";
    text += summary->text();
    if (!eventsOnStdout) text += "Events file: " + options.eventsPath + "\n";
    if (narrationOnStdout) {
      standardOutput.put("the summary", text);
    } else {
      err << text;
    }
  }
  if (!eventsOnStdout) standardOutput.flush(options.json ? "the summary" : "the narration");
  err.flush();
  bool lost = false;
  if (pageError) {
    say(err, pageError->localizedDescription);
    lost = true;
  }
  if (writeError) {
    say(err, writeError->localizedDescription + " (" + std::to_string(summary->eventsLost) +
                 " events lost)");
    lost = true;
  }
  if (standardOutput.failure()) {
    say(err, *standardOutput.failure());
    lost = true;
  }
  if (lost) return kOutputLost;
  if (summary->stopped) {
    // Rounded as the summary's own line rounds it.
    std::array<char, 32> minutes{};
    std::snprintf(minutes.data(), minutes.size(), "%.0f", summary->simulatedSeconds / 60);
    const std::string told = minutes.data();
    say(err, "interrupted: the summary covers the first " + told +
                 (told == "1" ? " simulated minute" : " simulated minutes"));
    return interruptedCode();
  }
  return kDone;
}

}  // namespace QVRAdKit::Sandbox
