#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "Sandbox/Reporting/RecordingReporting.h"

namespace QVRAdKit::Sandbox {
namespace {

using nlohmann::ordered_json;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::vector<std::string> keys(const ordered_json& object) {
  std::vector<std::string> result;
  for (const auto& item : object.items()) result.push_back(item.key());
  return result;
}

TEST(JsonLinesReportingTest, WritesOneJsonObjectPerEventInParameterOrder) {
  std::ostringstream out;
  JsonLinesReporting reporting(out);
  reporting.track({"ad_shown",
                   {{"zeta", std::string("line\nbreak \"quoted\"")},
                    {"alpha", std::int64_t{-42}},
                    {"middle", true},
                    {"alpha", std::int64_t{99}}}});
  reporting.track({"bare", {}});
  reporting.track({"bad_utf8", {{"text", std::string("caf\xC3")}}});

  const auto written = lines(out.str());
  ASSERT_EQ(written.size(), 3u);
  const auto first = ordered_json::parse(written[0]);
  EXPECT_EQ(keys(first), (std::vector<std::string>{"event", "parameters"}));
  EXPECT_EQ(first["event"], "ad_shown");
  // Order as given, not sorted; a repeated name keeps its first value.
  EXPECT_EQ(keys(first["parameters"]), (std::vector<std::string>{"zeta", "alpha", "middle"}));
  EXPECT_EQ(first["parameters"]["zeta"], "line\nbreak \"quoted\"");
  EXPECT_TRUE(first["parameters"]["alpha"].is_number_integer());
  EXPECT_EQ(first["parameters"]["alpha"], -42);
  EXPECT_TRUE(first["parameters"]["middle"].is_boolean());

  const auto bare = ordered_json::parse(written[1]);
  EXPECT_TRUE(bare["parameters"].is_object());
  EXPECT_TRUE(bare["parameters"].empty());
  // Invalid UTF-8 is replaced, not thrown on.
  EXPECT_EQ(ordered_json::parse(written[2])["parameters"]["text"], "caf\xEF\xBF\xBD");
}

TEST(JsonLinesReportingTest, FileIsAppendedAcrossOpensAndBadPathsAreErrors) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("qvr-reporting-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const auto path = (dir / "events.jsonl").string();
  for (const char* name : {"first", "second"}) {
    auto reporting = JsonLinesReporting::openFile(path);
    ASSERT_TRUE(reporting) << reporting.error().localizedDescription;
    (*reporting)->track({name, {{"n", std::int64_t{1}}}});
  }
  std::ifstream file(path);
  const std::string content((std::istreambuf_iterator<char>(file)), {});
  const auto written = lines(content);
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(ordered_json::parse(written[0])["event"], "first");
  EXPECT_EQ(ordered_json::parse(written[1])["event"], "second");

  const auto missing = (dir / "missing" / "events.jsonl").string();
  auto failed = JsonLinesReporting::openFile(missing);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().domain, "QVRAdKit.Sandbox.Reporting");
  EXPECT_NE(failed.error().localizedDescription.find(missing), std::string::npos);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

TEST(RecordingReportingTest, KeepsEventsInOrderAcrossThreadsUntilCleared) {
  RecordingReporting reporting;
  reporting.track({"first", {{"a", true}}});
  reporting.track({"second", {}});
  EXPECT_EQ(reporting.names(), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(reporting.events()[0], (ReportingObject{"first", {{"a", true}}}));

  reporting.clear();
  EXPECT_TRUE(reporting.events().empty());

  constexpr int kThreads = 4;
  constexpr int kEvents = 100;
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&reporting, t] {
      for (std::int64_t i = 0; i < kEvents; ++i) {
        reporting.track({"thread" + std::to_string(t), {{"i", i}}});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // Every event is kept, and each thread's events stay in the order it tracked them.
  std::vector<std::int64_t> next(kThreads, 0);
  const auto events = reporting.events();
  ASSERT_EQ(events.size(), static_cast<std::size_t>(kThreads * kEvents));
  for (const auto& event : events) {
    const int t = std::stoi(event.name.substr(6));
    EXPECT_EQ(std::get<std::int64_t>(*event.parameter("i")), next[t]++);
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
