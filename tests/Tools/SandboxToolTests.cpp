#include "tools/SandboxTool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "Tools/SandboxToolFixture.h"
#include "tools/Interruption.h"
#include "tools/SandboxCommandLine.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using namespace Testing;

class SandboxToolTest : public SandboxToolFixture {
 protected:
  // The problems validate() finds with the given paths on an otherwise runnable command line.
  static Lines problems(const SandboxToolOptions& options) {
    return SandboxCommandLine::validate(options);
  }
};

TEST_F(SandboxToolTest, EveryCommandLineProblemIsListedAndNothingRuns) {
  const Outcome outcome = run({"--minutes", "0", "--seed", "18446744073709551616", "--config", "",
                               "--events", file("events.jsonl")});
  EXPECT_EQ(outcome.code, SandboxTool::kBadInput);
  EXPECT_EQ(lines(outcome.err),
            (Lines{"qvr-sandbox: --config: the path is empty (leave --config out for the "
                   "embedded configuration)",
                   "qvr-sandbox: --seed: must be a whole number from 0 to 18446744073709551615, "
                   "found \"18446744073709551616\"",
                   "qvr-sandbox: --minutes: must be a number more than 0 and at most 10080, "
                   "found \"0\""}));
  EXPECT_EQ(outcome.out, "");
  EXPECT_FALSE(fs::exists(file("events.jsonl")));

  // Bounds of the numbers, each side.
  for (const char* bad : {"-1", "0", "10080.001", "nan", "inf", "1e400", "abc", "", "5min"}) {
    EXPECT_FALSE(SandboxCommandLine::minutes(bad)) << bad;
  }
  EXPECT_EQ(SandboxCommandLine::minutes("10080"), 10080.0);
  EXPECT_EQ(SandboxCommandLine::minutes("0.5"), 0.5);
  for (const char* bad : {"-1", "+1", "1.5", "0x10", "", "18446744073709551616", " 1"}) {
    EXPECT_FALSE(SandboxCommandLine::seed(bad)) << bad;
  }
  EXPECT_EQ(SandboxCommandLine::seed("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(SandboxCommandLine::seed("0"), 0u);

  // A value CLI11 itself refuses is one line too.
  const Outcome region = run({"--region", "moon"});
  EXPECT_EQ(region.code, SandboxTool::kBadInput);
  EXPECT_EQ(lines(region.err).size(), 1u);

  // Snapshots asked for where they could not show: an empty list, or only in a narration that
  // --quiet leaves out.
  for (const Lines& arguments :
       {Lines{"--inspect-at", ""}, Lines{"--inspect-at", "90", "--quiet"}}) {
    const Outcome nowhere = run(arguments);
    EXPECT_EQ(nowhere.code, SandboxTool::kBadInput) << arguments.size();
    EXPECT_TRUE(nowhere.err.starts_with("qvr-sandbox: --inspect-at: ")) << nowhere.err;
  }
}

// Every path the run reads or writes is checked against every other (OutputPaths has the ways of
// naming one file); here, that the program adds each of its options, and refuses before writing.
TEST_F(SandboxToolTest, NoTwoPathsOfARunNameOneFile) {
  std::ofstream(file("store.sqlite")).put('x');
  fs::create_symlink(dir / "store.sqlite", dir / "link.sqlite");
  SandboxToolOptions storage;
  storage.eventsPath = file("link.sqlite");
  storage.storagePath = file("store.sqlite");
  EXPECT_EQ(problems(storage),
            Lines{"--events and --storage name the same file \"" + file("link.sqlite") +
                  "\" (as \"" + file("store.sqlite") + "\"): one would overwrite the other"});
  SandboxToolOptions config;
  config.configPath = file("store.sqlite");
  config.inspectHtml = file("link.sqlite");
  EXPECT_EQ(problems(config),
            Lines{"--config and --inspect-html name the same file \"" + file("store.sqlite") +
                  "\" (as \"" + file("link.sqlite") + "\"): one would overwrite the other"});
  SandboxToolOptions json;
  json.json = true;
  json.eventsPath = "/dev/stdout";
  EXPECT_EQ(problems(json), Lines{"--json and --events both write to standard output: give one "
                                  "of them a file"});
  SandboxToolOptions pageAndStore;
  pageAndStore.inspectHtml = "-";
  pageAndStore.storagePath = "/proc/self/fd/1";
  EXPECT_EQ(problems(pageAndStore),
            (Lines{"--storage: the store must be a file, not standard output",
                   "--inspect-html: the page must be a file, not standard output"}));
  SandboxToolOptions trials;  // Monte Carlo runs write no events file
  trials.sessions = "2";
  trials.json = true;
  trials.eventsPath = "-";
  EXPECT_EQ(problems(trials), Lines{});
  // A file that standard output is redirected to is standard output: the narration, or with
  // --quiet the summary, would go into the file the events then replace.
  for (const bool quiet : {false, true}) {
    SandboxToolOptions redirected;
    redirected.quiet = quiet;
    redirected.eventsPath = file("out.txt");
    const int saved = dup(STDOUT_FILENO);
    const int into = open(redirected.eventsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(into, 0);
    std::fflush(stdout);
    dup2(into, STDOUT_FILENO);
    close(into);
    const Lines found = problems(redirected);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    EXPECT_EQ(found, Lines{std::string(quiet ? "the summary" : "the narration") +
                           " and --events both write to standard output: give one of them a file"});
  }
  SandboxToolOptions distinct;
  distinct.eventsPath = file("events.jsonl");
  distinct.storagePath = file("store.sqlite");
  EXPECT_EQ(problems(distinct), Lines{});

  // An empty path is refused for every option that takes one.
  for (const char* option :
       {"--events", "--storage", "--inspect-html", "--config", "--banner-svg"}) {
    const Outcome empty = run({option, ""});
    EXPECT_EQ(empty.code, SandboxTool::kBadInput) << option;
    EXPECT_NE(empty.err.find("the path is empty"), std::string::npos) << empty.err;
  }
}

TEST_F(SandboxToolTest, ConfigurationErrorsAreAllListedAndWarningsPrecedeTheRun) {
  std::ofstream(file("bad.json")) << R"({
    "sources": {"ironSource": ""},
    "interstitial": {"connect": {"source": "adMob", "keys": ["x", "x"], "timeout": -1}}
  })";
  const Outcome bad = run({"--config", file("bad.json"), "--events", file("events.jsonl")});
  EXPECT_EQ(bad.code, SandboxTool::kBadInput);
  const std::string prefix = "qvr-sandbox: " + file("bad.json") + ": ";
  EXPECT_EQ(lines(bad.err),
            (Lines{"qvr-sandbox: warning: " + file("bad.json") +
                       ": sources.ironSource: no placement uses this network",
                   prefix + "interstitial.connect.keys[1]: duplicate key \"x\"",
                   prefix + "interstitial.connect.timeout: must not be negative, found -1",
                   prefix + "interstitial.connect.source: network \"adMob\" is not configured in "
                            "sources",
                   prefix + "sources.ironSource: IronSource needs an application key, found an "
                            "empty string"}));
  EXPECT_EQ(bad.out, "");
  EXPECT_FALSE(fs::exists(file("events.jsonl")));  // nothing ran
  // The compared configuration's problems come in the same run.
  const Outcome both =
      run({"--sessions", "2", "--config", file("bad.json"), "--compare", file("absent.json")});
  EXPECT_EQ(both.code, SandboxTool::kBadInput);
  EXPECT_EQ(lines(both.err).size(), 6u) << both.err;
  EXPECT_TRUE(both.err.ends_with("qvr-sandbox: cannot read the configuration file \"" +
                                 file("absent.json") + "\": No such file or directory\n"))
      << both.err;

  std::ofstream(file("odd.json")) << R"({"sources": {"adMob": null},
    "interstitial": {"connect": {"source": "adMob", "keys": []}}})";
  const Outcome odd =
      run({"--config", file("odd.json"), "--events", file("events.jsonl"), "--minutes", "1.5"});
  EXPECT_EQ(odd.code, SandboxTool::kDone) << odd.err;
  EXPECT_TRUE(odd.err.starts_with("qvr-sandbox: warning: " + file("odd.json") +
                                  ": interstitial.connect.keys: no keys: the placement never "
                                  "shows an ad\n"))
      << odd.err;
  // The length as asked for, not rounded to a whole minute.
  EXPECT_NE(odd.out.find("Summary: 1.5 simulated minutes"), std::string::npos) << odd.out;

  // Text from the file is shown with its invalid bytes and direction controls escaped.
  std::ofstream(file("odd-key.json"))
      << "{\"sources\": {\"adMob\": null}, \"\xe2\x80\xaemoc.\xff\": 1}";
  const Outcome oddKey = run({"--config", file("odd-key.json")});
  EXPECT_EQ(oddKey.code, SandboxTool::kBadInput);
  EXPECT_NE(oddKey.err.find("\\u{202E}moc.\\xFF"), std::string::npos) << oddKey.err;
  EXPECT_EQ(oddKey.err.find_first_of("\xe2\xff"), std::string::npos) << "no raw byte";

  const Outcome missing = run({"--config", file("missing.json")});
  EXPECT_EQ(missing.code, SandboxTool::kBadInput);
  EXPECT_EQ(missing.err, "qvr-sandbox: cannot read the configuration file \"" +
                             file("missing.json") + "\": No such file or directory\n");
}

TEST_F(SandboxToolTest, AFullDiskIsAnErrorAndTheSummaryCountsOnlyWrittenEvents) {
  const Outcome outcome = run({"--events", "/dev/full", "--minutes", "10", "--quiet"});
  EXPECT_EQ(outcome.code, SandboxTool::kOutputLost);
  EXPECT_NE(outcome.out.find("Analytics events written: 0\n"), std::string::npos) << outcome.out;
  const std::string label = "Analytics events lost (the events file could not be written): ";
  const auto lost = outcome.out.find(label);
  ASSERT_NE(lost, std::string::npos) << outcome.out;
  const auto start = lost + label.size();
  const std::string count = outcome.out.substr(start, outcome.out.find('\n', start) - start);
  EXPECT_GT(std::stoi(count), 0);
  EXPECT_EQ(outcome.err,
            "qvr-sandbox: cannot write the analytics file \"/dev/full\": No space "
            "left on device (" +
                count + " events lost)\n");

  const Outcome page = run({"--inspect-html", "/dev/full", "--minutes", "1", "--quiet"});
  EXPECT_EQ(page.code, SandboxTool::kOutputLost);
  EXPECT_EQ(
      page.err,
      "qvr-sandbox: cannot write the inspector page \"/dev/full\": No space left on device\n");
}

TEST_F(SandboxToolTest, JsonSummaryIsOneDocumentWithStableKeysMatchingTheEventsFile) {
  const Outcome outcome = run({"--json", "--events", file("events.jsonl"), "--minutes", "30",
                               "--seed", "7", "--storage", file("store.sqlite")});
  ASSERT_EQ(outcome.code, SandboxTool::kDone) << outcome.err;
  ASSERT_EQ(lines(outcome.out).size(), 1u) << outcome.out;  // narration went to stderr
  EXPECT_NE(outcome.err.find("[00:00:00] app launch"), std::string::npos);
  const auto summary = nlohmann::ordered_json::parse(outcome.out);
  Lines keys;
  for (const auto& item : summary.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (Lines{"simulatedSeconds", "seed", "startupRuns", "consentFormShown",
                         "consentFormAnswered", "personalizedAds", "interstitials", "appOpenShown",
                         "rewardedShown", "rewardsEarned", "networks", "events",
                         "adsPauseRemainingSeconds"}));
  EXPECT_EQ(summary["simulatedSeconds"], 1800.0);
  EXPECT_EQ(summary["seed"], 7);
  Lines placements;
  for (const auto& item : summary["interstitials"].items()) placements.push_back(item.key());
  EXPECT_EQ(placements, (Lines{"connect", "disconnect", "appLaunch"}));
  EXPECT_EQ(summary["events"]["written"], lines(contents(dir / "events.jsonl")).size());
  EXPECT_EQ(summary["events"]["lost"], 0);

  // The same run again gives the same document.
  const Outcome again = run({"--json", "--events", file("events2.jsonl"), "--minutes", "30",
                             "--seed", "7", "--storage", file("store2.sqlite")});
  EXPECT_EQ(again.out, outcome.out);
  EXPECT_EQ(contents(dir / "events2.jsonl"), contents(dir / "events.jsonl"));
}

TEST_F(SandboxToolTest, AForeignStorageFileIsRefusedUntouched) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file("foreign.sqlite").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE t (x); INSERT INTO t VALUES (1);", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  const std::string before = contents(dir / "foreign.sqlite");
  const Outcome outcome =
      run({"--storage", file("foreign.sqlite"), "--events", file("events.jsonl"), "--quiet"});
  EXPECT_EQ(outcome.code, SandboxTool::kBadInput);
  EXPECT_NE(outcome.err.find("belongs to another application"), std::string::npos) << outcome.err;
  EXPECT_EQ(contents(dir / "foreign.sqlite"), before);
}

// Ctrl-C stops the run at its next step, not the process: the events tracked so far are written,
// the summary covers the time played, the temporary storage is removed, and the exit code is the
// one a shell gives a process that the signal ended.
TEST_F(SandboxToolTest, AStopSignalEndsTheRunWithItsOutputWrittenAndNothingLeftBehind) {
  Interruption::install();
  ASSERT_EQ(std::raise(SIGINT), 0);  // handled: the test goes on
  ASSERT_EQ(Interruption::signal(), SIGINT);

  const fs::path temporary = dir / "tmp";
  fs::create_directories(temporary);
  // Given back at the end: the folder goes with the test, and later tests need a temporary one.
  const char* given = std::getenv("TMPDIR");
  const std::optional<std::string> previous =
      given ? std::optional<std::string>(given) : std::nullopt;
  ASSERT_EQ(setenv("TMPDIR", temporary.c_str(), 1), 0);
  const Outcome session = run({"--events", file("events.jsonl"), "--quiet"});
  EXPECT_EQ(session.code, 128 + SIGINT);
  EXPECT_EQ(session.err,
            "qvr-sandbox: interrupted: the summary covers the first 0 simulated "
            "minutes\n");
  EXPECT_NE(session.out.find("Summary: 0 simulated minutes, seed 1 (stopped early)\n"),
            std::string::npos)
      << session.out;
  const Lines events = lines(contents(file("events.jsonl")));
  EXPECT_NE(session.out.find("Analytics events written: " + std::to_string(events.size()) + "\n"),
            std::string::npos)
      << session.out;
  EXPECT_TRUE(fs::is_empty(temporary)) << "the temporary storage is removed";
  // Files kept for later say that they are partial: the summary in JSON, and the page, which
  // names the snapshots it could not take.
  const Outcome inspected = run({"--events", file("events.jsonl"), "--json", "--inspect-at",
                                 "10,1:00", "--inspect-html", file("page.html")});
  EXPECT_EQ(inspected.code, 128 + SIGINT);
  EXPECT_EQ(nlohmann::json::parse(inspected.out)["stopped"], true);
  EXPECT_NE(contents(file("page.html"))
                .find("The session was stopped at 00:00:00, before its end: no snapshot at "
                      "00:00:10, 00:01:00."),
            std::string::npos);

  const Outcome trials = run({"--sessions", "3", "--json"});
  EXPECT_EQ(trials.code, 128 + SIGINT);
  EXPECT_EQ(trials.err,
            "qvr-sandbox: interrupted: the tables cover the 0 of 3 sessions that ended\n");
  const auto tables = nlohmann::json::parse(trials.out);
  EXPECT_EQ(tables["sessions"], 0);
  EXPECT_EQ(tables["stopped"], true);

  Interruption::request(0);
  EXPECT_EQ(run({"--sessions", "2", "--minutes", "5"}).code, SandboxTool::kDone);
  if (previous) {
    setenv("TMPDIR", previous->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
