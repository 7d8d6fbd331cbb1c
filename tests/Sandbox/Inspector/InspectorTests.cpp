// The sandbox inspector: reading --inspect-at, the text and the HTML page of a snapshot (hostile
// key names included), and snapshots taken inside a whole sandbox session without changing it.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Sandbox/Host/SandboxHost.h"
#include "Sandbox/Inspector/InspectionTimes.h"
#include "Sandbox/Inspector/InspectorPage.h"
#include "Sandbox/Inspector/InspectorText.h"
#include "Sandbox/Inspector/SandboxInspector.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

using Times = std::vector<Platform::TimeInterval>;

TEST(InspectionTimesTest, AcceptsSecondsAndClockFormsAndSortsThem) {
  const struct {
    const char* text;
    Times times;
  } accepted[] = {
      {"90", {90}},
      {"0", {0}},
      {"12.5", {12.5}},
      {"1:30", {90}},
      {"01:30", {90}},
      {"0:00", {0}},
      {"90:00", {5400}},
      {"1:00:00", {3600}},
      {"01:59:59", {7199}},
      {"2:00:00", {7200}},  // exactly the session end
      {" 10:00 , 5 ,1:00:00", {5, 600, 3600}},
  };
  for (const auto& row : accepted) {
    auto times = InspectionTimes::parse(row.text, 7200);
    ASSERT_TRUE(times) << row.text << ": " << times.error().localizedDescription;
    EXPECT_EQ(times.value(), row.times) << row.text;
  }
}

TEST(InspectionTimesTest, RefusesWhatIsNotATimeOrOutOfBounds) {
  const struct {
    std::string text;
    std::int64_t code;
  } refused[] = {
      {"", 1},           {"5,", 1},      {"5,,6", 1},       {" ", 1},   {"-5", 3}, {"1e3", 3},
      {"12.", 3},        {".5", 3},      {"ten", 3},        {"1:2", 3},  // seconds take two digits
      {"1:60", 3},                                                       // seconds below 60
      {"1:60:00", 3},                                                    // minutes below 60
      {"1:00:00:00", 3},                                                 // no days
      {":30", 3},        {"1::30", 3},   {"9999999999", 3},  // more digits than any session needs
      {"7200.5", 4},                                         // past the end
      {"2:00:01", 4},    {"90,1:30", 5},                     // the same moment twice
      {"5,5", 5},
  };
  for (const auto& row : refused) {
    auto times = InspectionTimes::parse(row.text, 7200);
    ASSERT_FALSE(times) << '"' << row.text << '"';
    EXPECT_EQ(times.error().code, row.code) << '"' << row.text << '"';
    EXPECT_EQ(times.error().localizedDescription.find('\n'), std::string::npos);
  }
  // The number of times is bounded.
  std::string many;
  for (std::size_t i = 0; i < InspectionTimes::kMaxTimes; ++i) {
    if (i) many += ',';
    many += std::to_string(i);
  }
  ASSERT_TRUE(InspectionTimes::parse(many, 7200));
  EXPECT_EQ(InspectionTimes::parse(many + ",1000", 7200).error().code, 2);
  // A duration of zero allows only the start.
  EXPECT_TRUE(InspectionTimes::parse("0", 0));
  EXPECT_FALSE(InspectionTimes::parse("0.5", 0));
}

// A snapshot with one interstitial placement whose keys carry markup and quotes.
AdsServiceSnapshot hostileSnapshot() {
  AdsServiceSnapshot snapshot;
  snapshot.takenAt = Platform::Date(1000);
  snapshot.configured = true;
  snapshot.runHasEnded = true;
  snapshot.lastGrants[InterstitialAdPlacement::connect] = Platform::Date(952);
  AdsServiceSnapshot::Placement placement{
      AdsPlacement::interstitial(InterstitialAdPlacement::connect),
      AdSource::adMob,
      {},
      true,
      true};
  placement.keys.push_back({"<script>alert(\"x\")</script>",
                            AdsServiceSnapshot::Ad{"U-1", AdsServiceSnapshot::AdState::loaded, 12,
                                                   AdsServiceSnapshot::AgeOrigin::requested}});
  placement.keys.push_back({"a\" onmouseover='bad' & <b>", std::nullopt});
  snapshot.placements.push_back(placement);
  return snapshot;
}

TEST(InspectorPageTest, EscapesEveryTextAndStaysSelfContained) {
  EXPECT_EQ(InspectorPage::escaped("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  InspectorPage page("seed <7>");
  page.add(600, hostileSnapshot());
  const std::string html = page.html();

  EXPECT_EQ(html.find("<script"), std::string::npos) << "no markup from a key, no script at all";
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_EQ(html.find("onmouseover='"), std::string::npos);
  EXPECT_NE(html.find("<td>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</td>"),
            std::string::npos);
  EXPECT_NE(html.find("data-key=\"a&quot; onmouseover=&#39;bad&#39; &amp; &lt;b&gt;\""),
            std::string::npos);
  EXPECT_NE(html.find("seed &lt;7&gt;"), std::string::npos);
  // Self-contained: inline style, nothing fetched.
  EXPECT_NE(html.find("<style>"), std::string::npos);
  for (const char* external : {"<link", "src=", "url(", "@import", "http:", "https:"}) {
    EXPECT_EQ(html.find(external), std::string::npos) << external;
  }
  // The rows, their order and their coloured states.
  const auto first = html.find("data-key=\"&lt;script&gt;");
  const auto second = html.find("data-key=\"a&quot;");
  EXPECT_LT(first, second);
  EXPECT_NE(html.find("class=\"state state-loaded\">loaded<"), std::string::npos);
  EXPECT_NE(html.find("data-state=\"none\""), std::string::npos);
  EXPECT_NE(html.find("last grant 00:09:12 (48s ago)"), std::string::npos) << html;
}

TEST(InspectorTextTest, OneLinePerPlacementAndKey) {
  const auto lines = InspectorText::lines(600, hostileSnapshot());
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[0].rfind("inspect: run ended, configured | consent no consent service", 0), 0U)
      << lines[0];
  EXPECT_EQ(lines[1], "  interstitial connect (adMob, running; last grant 00:09:12 (48s ago))");
  EXPECT_EQ(lines[2], "    1. <script>alert(\"x\")</script>  loaded  12s since request  uuid U-1");
  EXPECT_EQ(lines[3], "    2. a\" onmouseover='bad' & <b>  no ad");
}

struct Played {
  std::vector<std::string> narration;
  std::string events;
  std::vector<std::pair<Platform::TimeInterval, AdsServiceSnapshot>> snapshots;
};

Played play(Times inspectAt) {
  Played played;
  std::ostringstream events;
  const Testing::TemporaryDirectory dir("qvr-inspector-test-");
  SandboxHostOptions options;
  options.seed = 11;
  options.duration = 900;
  options.storagePath = dir.file("store.sqlite");
  options.reporting = std::make_shared<JsonLinesReporting>(events);
  options.narrator = [&](std::string_view line) { played.narration.emplace_back(line); };
  options.inspectAt = std::move(inspectAt);
  options.inspector = [&](Platform::TimeInterval at, const AdsServiceSnapshot& snapshot) {
    played.snapshots.emplace_back(at, snapshot);
  };
  auto summary = SandboxHost::run(options);
  EXPECT_TRUE(summary.hasValue());
  played.events = events.str();
  return played;
}

TEST(SandboxInspectorTest, SnapshotsInASessionChangeNothingOfIt) {
  const Played plain = play({});
  const Played inspected = play({0, 1, 450, 900});
  EXPECT_TRUE(plain.snapshots.empty());
  EXPECT_EQ(inspected.narration, plain.narration);
  EXPECT_EQ(inspected.events, plain.events) << "same events, uuids included";

  ASSERT_EQ(inspected.snapshots.size(), 4U);
  const auto& [firstAt, first] = inspected.snapshots.front();
  EXPECT_EQ(firstAt, 0);
  EXPECT_TRUE(first.runInProgress) << "the first run waits for the consent platform";
  EXPECT_TRUE(first.placements.empty());
  for (std::size_t i = 1; i < inspected.snapshots.size(); ++i) {
    const auto& [at, snapshot] = inspected.snapshots[i];
    EXPECT_EQ(snapshot.takenAt.timeIntervalSince(first.takenAt), at);
  }
  const AdsServiceSnapshot& last = inspected.snapshots.back().second;
  EXPECT_TRUE(last.runHasEnded && last.configured && !last.runInProgress);
  EXPECT_EQ(last.consent.status, AdsServiceSnapshot::ConsentStatus::obtained);
  ASSERT_FALSE(last.placements.empty());
  int ads = 0;
  for (const auto& placement : last.placements) {
    for (const auto& key : placement.keys) ads += key.ad ? 1 : 0;
  }
  EXPECT_GT(ads, 0);
}

TEST(SandboxInspectorTest, NarratesSnapshotsAndWritesThePageOfAll) {
  const Testing::TemporaryDirectory dir("qvr-inspector-");
  const std::string path = dir.file("page.html");
  auto inspector = SandboxInspector::create("5:00,1:00", path, 600, "test");
  ASSERT_TRUE(inspector);
  EXPECT_EQ((*inspector)->times(), (Times{60, 300}));

  SandboxHostOptions options;
  options.duration = 600;
  options.storagePath = path + ".sqlite";
  std::vector<std::string> narration;
  options.narrator = [&](std::string_view line) { narration.emplace_back(line); };
  (*inspector)->attach(options);
  ASSERT_TRUE(SandboxHost::run(options));
  EXPECT_FALSE((*inspector)->finish());

  std::vector<std::string> headings;
  for (const auto& line : narration) {
    if (line.find("] inspect: ") != std::string::npos) headings.push_back(line.substr(0, 11));
  }
  EXPECT_EQ(headings, (std::vector<std::string>{"[00:01:00] ", "[00:05:00] "}));

  const std::string html = Testing::contents(path);
  std::size_t tables = 0;
  for (auto at = html.find("data-placement=\"interstitial connect\""); at != std::string::npos;
       at = html.find("data-placement=\"interstitial connect\"", at + 1)) {
    ++tables;
  }
  EXPECT_EQ(tables, 2U) << "one per snapshot";

  // A page nobody can write is refused before the session runs.
  auto unwritable = SandboxInspector::create("", "/nonexistent-dir/x.html", 600, "test");
  ASSERT_FALSE(unwritable);
  EXPECT_NE(unwritable.error().localizedDescription.find("/nonexistent-dir/x.html"),
            std::string::npos);
  auto badTimes = SandboxInspector::create("11:00", "", 600, "test");
  ASSERT_FALSE(badTimes);
  EXPECT_NE(badTimes.error().localizedDescription.find("past the session end"), std::string::npos);
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
