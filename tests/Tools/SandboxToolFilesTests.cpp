// How qvr-sandbox treats the files and streams it is given: a refused run leaves every file as it
// was, a lost output says why and exits 1, and a kept store plays simulated time forward.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <streambuf>
#include <string>
#include <vector>

#include "Support/FileSizeLimit.h"
#include "Tools/SandboxToolFixture.h"
#include "tools/Interruption.h"
#include "tools/SandboxCommandLine.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using namespace Testing;

class SandboxToolFilesTest : public SandboxToolFixture {
 protected:
  // Every file of the directory with its bytes.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
      files[entry.path().filename().string()] = contents(entry.path());
    }
    return files;
  }
};

// A standard output whose reader has gone: every write fails as write(2) does on a closed pipe.
class ClosedPipe : public std::streambuf {
 protected:
  int_type overflow(int_type) override {
    errno = EPIPE;
    return traits_type::eof();
  }
  std::streamsize xsputn(const char*, std::streamsize) override {
    errno = EPIPE;
    return 0;
  }
};

TEST_F(SandboxToolFilesTest, ARefusedRunLeavesEveryFileExactlyAsItWas) {
  // Files from an earlier, complete run.
  ASSERT_EQ(run({"--minutes", "5", "--events", file("events.jsonl"), "--storage",
                 file("store.sqlite"), "--inspect-html", file("page.html"), "--quiet"})
                .code,
            SandboxTool::kDone);
  write("bad.json", R"({"sources": {"adMob": 1}})");
  write("foreign.sqlite", "not a database, not empty");
  const auto before = snapshot();
  ASSERT_EQ(before.size(), 5u);

  const Lines common = {"--events", file("events.jsonl"), "--inspect-html", file("page.html")};
  const std::vector<Lines> refusals = {
      {"--minutes", "0", "--storage", file("store.sqlite")},              // an option out of range
      {"--storage", file("events.jsonl")},                                // two paths, one file
      {"--config", file("bad.json"), "--storage", file("store.sqlite")},  // configuration
      {"--inspect-at", "199:00", "--storage", file("store.sqlite")},      // inspection past the end
      {"--storage", file("foreign.sqlite")},                              // a store of another kind
      {"--gap", "1h"},                                                    // --gap without a store
      {"--gap", "1w", "--storage", file("store.sqlite")},                 // a unit it does not know
  };
  for (Lines arguments : refusals) {
    arguments.insert(arguments.end(), common.begin(), common.end());
    const Outcome outcome = run(arguments);
    EXPECT_EQ(outcome.code, SandboxTool::kBadInput) << arguments[0] << " " << arguments[1];
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(snapshot() == before) << arguments[0] << " " << arguments[1] << ": " << outcome.err;
  }
}

TEST_F(SandboxToolFilesTest, EveryLostOutputSaysWhyAndExitsOne) {
  struct Case {
    Lines arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--print-default-config"}, "cannot write the default configuration to standard output"},
      {{"--minutes", "2", "--events", file("events.jsonl")},
       "cannot write the narration to standard output"},
      {{"--minutes", "2", "--json", "--events", file("events.jsonl")},
       "cannot write the summary to standard output"},
      {{"--sessions", "2", "--minutes", "2", "--shard-out", file("part.json")},
       "cannot write the tables to standard output"},
      {{"--banner-svg", "-"}, "cannot write the banner picture to standard output"},
      {{"--help"}, "cannot write the help to standard output"},
      {{"merge", "--help"}, "cannot write the help to standard output"},
  };
  for (const Case& c : cases) {
    ClosedPipe pipe;
    std::ostream closed(&pipe);
    const Outcome outcome = run(c.arguments, &closed);
    EXPECT_EQ(outcome.code, SandboxTool::kOutputLost) << c.message;
    EXPECT_NE(outcome.err.find("qvr-sandbox: " + c.message + ": Broken pipe\n"), std::string::npos)
        << outcome.err;
  }
  // The shard does not go through standard output: it is written whole all the same.
  EXPECT_EQ(nlohmann::json::parse(contents(dir / "part.json"))["sessions"], 2);
  {
    ClosedPipe pipe;
    std::ostream closed(&pipe);
    const Outcome merged =
        run({"merge", file("part.json"), "--shard-out", file("merged.json")}, &closed);
    EXPECT_EQ(merged.code, SandboxTool::kOutputLost) << merged.err;
    EXPECT_EQ(nlohmann::json::parse(contents(dir / "merged.json"))["sessions"], 2);
  }
  fs::remove(dir / "part.json");
  fs::remove(dir / "merged.json");

  // A file that cannot grow (a full disk): the reason is the failing write's, and the old file
  // stays whole. The store is kept in memory, out of the limit's way.
  std::ofstream(file("events.jsonl")) << "the old events\n";
  std::ofstream(file("banner.svg")) << "the old picture\n";
  Outcome events;
  Outcome banner;
  {
    const QVRAdKit::Testing::FileSizeLimit limit(512);
    events = run(
        {"--minutes", "30", "--events", file("events.jsonl"), "--quiet", "--storage", ":memory:"});
    banner = run({"--banner-svg", file("banner.svg")});
  }
  EXPECT_EQ(events.code, SandboxTool::kOutputLost);
  EXPECT_TRUE(events.err.starts_with("qvr-sandbox: cannot write the analytics file \"" +
                                     file("events.jsonl") + "\": File too large ("))
      << events.err;
  EXPECT_NE(events.out.find("Analytics events written: 0\n"), std::string::npos) << events.out;
  EXPECT_EQ(banner.code, SandboxTool::kOutputLost);
  EXPECT_EQ(banner.err, "qvr-sandbox: cannot write the banner picture \"" + file("banner.svg") +
                            "\": File too large\n");
  EXPECT_EQ(snapshot(), (std::map<std::string, std::string>{{"banner.svg", "the old picture\n"},
                                                            {"events.jsonl", "the old events\n"}}));
}

// The banner picture plays no session: a session's option, or a subcommand, given with it is
// refused, as is a picture path that cannot be written, each on a line of its own and before any
// file is touched, so that no picture lands on the configuration, store or events it names.
TEST_F(SandboxToolFilesTest, TheBannerPictureRefusesWhatDoesNotApplyAndLeavesEveryFile) {
  std::ofstream(file("c.json")) << "{}";
  std::ofstream(file("s.db")) << "a store";
  std::ofstream(file("e.jsonl")) << "events";
  std::ofstream(file("old.svg")) << "the old picture";
  const auto before = snapshot();
  const std::string notHere = "does not apply to --banner-svg";
  struct Case {
    Lines arguments;
    Lines problems;
  };
  const std::vector<Case> cases = {
      {{"--config", file("c.json"), "--banner-svg", file("c.json")}, {"--config: " + notHere}},
      {{"--storage", file("s.db"), "--banner-svg", file("s.db")}, {"--storage: " + notHere}},
      {{"--banner-svg", file("e.jsonl"), "--events", file("e.jsonl")}, {"--events: " + notHere}},
      {{"--banner-svg", file("old.svg"), "--banner-title", "T", "--minutes", "99999", "--seed", "3",
        "--sessions", "2", "--inspect-at", "1:00"},
       {"--seed: " + notHere, "--minutes: " + notHere, "--sessions: " + notHere,
        "--inspect-at: " + notHere}},  // in the order --help lists them
      {{"--banner-svg", "-", "--json", "--quiet"}, {"--quiet: " + notHere, "--json: " + notHere}},
      {{"--banner-svg", file("old.svg"), "serve"}, {"serve: " + notHere}},
      {{"--banner-svg", dir.string()},
       {"--banner-svg: cannot write \"" + dir.string() + "\": it is a directory"}},
      {{"--banner-svg", file("none/b.svg"), "--premium"},
       {"--premium: " + notHere, "--banner-svg: cannot write \"" + file("none/b.svg") +
                                     "\": the directory \"" + file("none") + "\" does not exist"}},
  };
  for (const Case& c : cases) {
    const Outcome outcome = run(c.arguments);
    SCOPED_TRACE(outcome.err);
    EXPECT_EQ(outcome.code, SandboxTool::kBadInput);
    Lines expected;
    for (const auto& problem : c.problems) expected.push_back("qvr-sandbox: " + problem);
    EXPECT_EQ(lines(outcome.err), expected);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(snapshot() == before);
  }
  // Its own options and a path it can write: the picture replaces the old one.
  const Outcome drawn = run({"--banner-svg", file("old.svg"), "--banner-width", "320"});
  EXPECT_EQ(drawn.code, SandboxTool::kDone) << drawn.err;
  EXPECT_TRUE(contents(dir / "old.svg").starts_with("<?xml")) << contents(dir / "old.svg");
}

// A width or insets that leave the card no room are refused with the bounds, before any picture
// is made; the bounds themselves are drawn.
TEST_F(SandboxToolFilesTest, BannerSizesThatLeaveNoRoomAreRefused) {
  const std::string width =
      "qvr-sandbox: --banner-width: must be a number of points from 200 to 2048";
  const std::string insets =
      "qvr-sandbox: --banner-insets: must be a number of points from 0 to 64";
  struct Case {
    Lines arguments;
    std::string problem;  // empty: drawn
  };
  const std::vector<Case> cases = {
      {{"--banner-width", "0"}, width + ", found 0 (see --help)"},
      {{"--banner-width", "199.99"}, width + ", found 199.99 (see --help)"},
      {{"--banner-width", "2048.5"}, width + ", found 2048.5 (see --help)"},
      {{"--banner-width", "nan"}, width + ", found nan (see --help)"},
      {{"--banner-insets", "0", "300", "0", "300"}, insets + ", found 300 (see --help)"},
      {{"--banner-insets", "0", "0", "64.5", "0"}, insets + ", found 64.5 (see --help)"},
      {{"--banner-width", "200", "--banner-insets", "64", "64", "64", "64"}, ""},
      {{"--banner-width", "2048"}, ""},
  };
  for (const Case& c : cases) {
    Lines arguments{"--banner-svg", file("b.svg")};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Outcome outcome = run(arguments);
    SCOPED_TRACE(outcome.err);
    if (c.problem.empty()) {
      EXPECT_EQ(outcome.code, SandboxTool::kDone);
      EXPECT_TRUE(contents(dir / "b.svg").starts_with("<?xml"));
      std::filesystem::remove(dir / "b.svg");
    } else {
      EXPECT_EQ(outcome.code, SandboxTool::kBadInput);
      EXPECT_EQ(lines(outcome.err), Lines{c.problem});
      EXPECT_FALSE(std::filesystem::exists(dir / "b.svg"));
    }
  }
}

// A text given is drawn as given, an empty one included (an empty title draws no banner, as on a
// phone); one left out is the sample's.
TEST_F(SandboxToolFilesTest, BannerTextsGivenEmptyAreDrawnEmpty) {
  const std::string title = "Get 7 days of Premium";      // the sample title's first line
  const std::string subtitle = "Fast, private browsing";  // and its subtitle's
  struct Case {
    Lines arguments;
    bool hasTitle;
    bool hasSubtitle;
  };
  const std::vector<Case> cases = {
      {{}, true, true},
      {{"--banner-title", ""}, false, false},  // no title: nothing of the ad is drawn
      {{"--banner-subtitle", ""}, true, false},
  };
  for (const Case& c : cases) {
    Lines arguments{"--banner-svg", "-"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Outcome outcome = run(arguments);
    ASSERT_EQ(outcome.code, SandboxTool::kDone) << outcome.err;
    EXPECT_EQ(outcome.out.find(title) != std::string::npos, c.hasTitle) << arguments.back();
    EXPECT_EQ(outcome.out.find(subtitle) != std::string::npos, c.hasSubtitle) << arguments.back();
  }
}

// A stop asked for before the picture is complete leaves the old picture and exits as the signal
// would.
TEST_F(SandboxToolFilesTest, AnInterruptedBannerPictureWritesNothing) {
  std::ofstream(file("b.svg")) << "the old picture";
  Interruption::request(SIGTERM);
  const Outcome stopped = run({"--banner-svg", file("b.svg")});
  const Outcome toStdout = run({"--banner-svg", "-"});
  Interruption::request(0);
  for (const Outcome& outcome : {stopped, toStdout}) {
    EXPECT_EQ(outcome.code, 128 + SIGTERM);
    EXPECT_EQ(outcome.err, "qvr-sandbox: interrupted: the banner picture was not written\n");
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_EQ(contents(dir / "b.svg"), "the old picture");
}

// The time of the first narration line that holds text, in seconds; -1 when none does.
double firstTime(const std::string& narration, const std::string& text) {
  for (const std::string& line : lines(narration)) {
    if (line.find(text) == std::string::npos || line.size() < 10 || line[0] != '[') continue;
    return std::stod(line.substr(1, 2)) * 3600 + std::stod(line.substr(4, 2)) * 60 +
           std::stod(line.substr(7, 2));
  }
  return -1;
}

TEST_F(SandboxToolFilesTest, AKeptStorePlaysOnFromWhereItsLastSessionEnded) {
  // Find a session that earns a reward (and so pauses ads for 15 minutes), then end a run on a
  // kept store right after it.
  std::string seed;
  double pausedAt = -1;
  for (int candidate = 1; candidate < 20 && pausedAt < 0; ++candidate) {
    seed = std::to_string(candidate);
    const Outcome probe = run({"--seed", seed, "--minutes", "240", "--events", file("p.jsonl")});
    ASSERT_EQ(probe.code, SandboxTool::kDone) << probe.err;
    pausedAt = firstTime(probe.out, "ads paused for 900s");
  }
  ASSERT_GE(pausedAt, 0) << "no session earned a reward";
  const std::string minutes = std::to_string((pausedAt + 1) / 60);
  for (const char* store : {"one.sqlite", "two.sqlite"}) {
    const Outcome first = run({"--seed", seed, "--minutes", minutes, "--storage", file(store),
                               "--events", file("e.jsonl"), "--json"});
    ASSERT_EQ(first.code, SandboxTool::kDone) << first.err;
    EXPECT_EQ(first.err.find("resuming"), std::string::npos) << "a new store starts afresh";
    EXPECT_GT(nlohmann::json::parse(first.out)["adsPauseRemainingSeconds"], 890);
  }

  // An hour later the pause is over: the next session's ads are shown from its start, until it
  // pauses them itself.
  const Outcome later = run({"--seed", seed, "--minutes", "30", "--storage", file("one.sqlite"),
                             "--events", file("e.jsonl")});
  ASSERT_EQ(later.code, SandboxTool::kDone) << later.err;
  const Lines narration = lines(later.out);
  ASSERT_FALSE(narration.empty());
  EXPECT_TRUE(narration[0].starts_with("[00:00:00] resuming the kept store at simulated "))
      << narration[0];
  EXPECT_NE(narration[0].find(", 3600s after its last session ended ("), std::string::npos)
      << narration[0];
  const double ownPause = firstTime(later.out, "ads paused for 900s");
  const double firstShown = firstTime(later.out, "-> interstitial (");
  const double firstWithheld = firstTime(later.out, "withheld");
  EXPECT_GE(firstShown, 0) << later.out;
  EXPECT_TRUE(firstWithheld < 0 || (ownPause >= 0 && firstWithheld > ownPause)) << later.out;

  // With no gap, the same session meets the pause the last one left, before any of its own.
  const Outcome atOnce = run({"--seed", seed, "--minutes", "30", "--storage", file("two.sqlite"),
                              "--events", file("e.jsonl"), "--gap", "0"});
  ASSERT_EQ(atOnce.code, SandboxTool::kDone) << atOnce.err;
  const double withheldAtOnce = firstTime(atOnce.out, "withheld: ads paused for another");
  EXPECT_GE(withheldAtOnce, 0) << atOnce.out;
  EXPECT_TRUE(firstTime(atOnce.out, "ads paused for 900s") < 0 ||
              withheldAtOnce < firstTime(atOnce.out, "ads paused for 900s"))
      << atOnce.out;

  // The forms a gap takes.
  const std::pair<const char*, double> gaps[] = {
      {"3600", 3600},           {"90s", 90}, {"15m", 900}, {"1h", 3600}, {"2d", 172800}, {"0", 0},
      {"3650d", 3650 * 86400.0}};
  for (const auto& [text, seconds] : gaps)
    EXPECT_EQ(SandboxCommandLine::gap(text), seconds) << text;
  for (const char* bad : {"", "h", "1.5h", "-1", "1w", "3651d", "1 h", "18446744073709551615d"}) {
    EXPECT_FALSE(SandboxCommandLine::gap(bad)) << bad;
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
