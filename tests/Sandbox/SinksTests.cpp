#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Logging/StderrLogger.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

using Strings = std::vector<std::string>;

TEST(StderrLoggerTest, WritesOneLinePerMessageAtOrAboveTheMinimumLevel) {
  std::ostringstream out;
  StderrLogger logger(LogFlag::warning, out);
  logger.log(LogFlag::info, "dropped", "QVRAdKit/A", "f()", 1);
  logger.log(LogFlag::warning, "kept", "QVRAdKit/Services/AdsService/AdsService",
             "shouldShowAd(for:)", 42);
  logger.assertionFailure("two\nlines", "QVRAdKit/B", "g()", 7);
  logger.log(LogFlag::error, "last", "QVRAdKit/C", "h()", 9);
  EXPECT_EQ(out.str(),
            "WARNING QVRAdKit/Services/AdsService/AdsService:42 shouldShowAd(for:): kept\n"
            "ASSERTION FAILURE QVRAdKit/B:7 g(): two\\nlines\n"
            "ERROR QVRAdKit/C:9 h(): last\n");
}

TEST(RecordingLoggerTest, RecordsEntriesInOrderWithAssertionFailuresMarked) {
  RecordingLogger logger;
  logger.log(LogFlag::debug, "one", "QVRAdKit/A", "a()", 1);
  logger.assertionFailure("broken", "QVRAdKit/B", "b()", 2);
  EXPECT_EQ(logger.messages(), (Strings{"one", "broken"}));
  using Entry = RecordingLogger::Entry;
  EXPECT_EQ(logger.entries().at(0), (Entry{LogFlag::debug, "one", "QVRAdKit/A", "a()", 1}));
  EXPECT_EQ(logger.assertionFailures(),
            (std::vector<Entry>{{std::nullopt, "broken", "QVRAdKit/B", "b()", 2}}));
}

TEST(JsonLinesReportingTest, WritesOneJsonObjectPerEventInParameterOrder) {
  std::ostringstream out;
  auto reporting = std::make_unique<JsonLinesReporting>(out);
  reporting->track({"ad_shown",
                    {{"zeta", std::string("line\nbreak \"quoted\"")},
                     {"alpha", std::int64_t{-42}},
                     {"middle", true},
                     {"alpha", std::int64_t{99}}}});
  reporting->track({"bad_utf8", {{"text", std::string("caf\xC3")}}});
  reporting.reset();  // flushes

  // Parameters keep their order (a repeated name its first value) and their types; invalid UTF-8
  // is replaced, not thrown on.
  EXPECT_EQ(out.str(), R"({"event":"ad_shown","parameters":{"zeta":"line\nbreak \"quoted\"",)"
                       R"("alpha":-42,"middle":true}})"
                       "\n"
                       R"({"event":"bad_utf8","parameters":{"text":"caf)"
                       "\xEF\xBF\xBD\"}}\n");
}

TEST(JsonLinesReportingTest, BuffersLinesAndWritesThemInBatchesInOrder) {
  std::ostringstream out;
  JsonLinesReporting reporting(out);
  const ReportingObject event{"ad_requested", {{"index", std::int64_t{0}}}};
  const std::size_t lineBytes = JsonLinesReporting::line(event).size() + 1;
  reporting.track(event);
  EXPECT_EQ(out.str(), "");  // not one write per event
  EXPECT_EQ(reporting.written(), 0);
  // The line that fills the buffer hands every waiting line over at once, not before.
  std::int64_t tracked = 1;
  while (out.str().empty() && tracked < 100'000) {
    reporting.track(event);
    ++tracked;
  }
  const auto bytes = static_cast<std::size_t>(tracked) * lineBytes;
  EXPECT_GE(bytes, JsonLinesReporting::kBufferBytes);
  EXPECT_LT(bytes - lineBytes, JsonLinesReporting::kBufferBytes);
  EXPECT_EQ(out.str().size(), bytes);
  EXPECT_EQ(reporting.written(), tracked);
  reporting.track(event);
  EXPECT_FALSE(reporting.flush());
  EXPECT_EQ(reporting.written(), tracked + 1);
  EXPECT_EQ(reporting.lost(), 0);
}

TEST(JsonLinesReportingTest, AFailedWriteIsKeptAndEveryEventAfterItCountsAsLost) {
  auto sink = JsonLinesReporting::openFile("/dev/full", JsonLinesReporting::OpenMode::replace);
  ASSERT_TRUE(sink.hasValue()) << sink.error().localizedDescription;
  JsonLinesReporting& reporting = **sink;
  for (int index = 0; index < 3; ++index) reporting.track({"ad_loaded", {}});
  const auto error = reporting.flush();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain, JsonLinesReporting::kErrorDomain);
  EXPECT_EQ(error->localizedDescription,
            "cannot write the analytics file \"/dev/full\": No space left on device");
  reporting.track({"ad_loaded", {}});
  EXPECT_EQ(reporting.flush(), error);  // the first failure stays the answer
  EXPECT_EQ(std::tuple(reporting.written(), reporting.lost()), std::tuple(0, 4));

  // A stream that fails part-way keeps what reached it before.
  std::ostringstream out;
  JsonLinesReporting partly(out);
  partly.track({"first", {}});
  EXPECT_FALSE(partly.flush());
  out.setstate(std::ios::badbit);
  partly.track({"second", {}});
  EXPECT_TRUE(partly.flush());
  EXPECT_EQ(std::tuple(partly.written(), partly.lost()), std::tuple(1, 1));
}

TEST(JsonLinesReportingTest, AReplacedFileChangesOnlyWhenCommitted) {
  const Testing::TemporaryDirectory dir("qvr-sink-");
  const std::string path = dir.write("events.jsonl", "old\n");
  const auto read = [&path] { return Testing::contents(path); };
  {
    auto given_up = JsonLinesReporting::openFile(path);
    ASSERT_TRUE(given_up.hasValue());
    (*given_up)->track({"lost", {}});
    EXPECT_FALSE((*given_up)->flush());
  }
  EXPECT_EQ(read(), "old\n") << "never committed: the old file stays";
  auto sink = JsonLinesReporting::openFile(path);
  ASSERT_TRUE(sink.hasValue());
  (*sink)->track({"kept", {}});
  EXPECT_FALSE((*sink)->flush());
  EXPECT_EQ(read(), "old\n");
  EXPECT_FALSE((*sink)->commit());
  EXPECT_EQ(read(), "{\"event\":\"kept\",\"parameters\":{}}\n");
  (*sink)->track({"late", {}});  // after commit, nothing more reaches the file
  EXPECT_FALSE((*sink)->flush());
  EXPECT_EQ(std::tuple((*sink)->written(), (*sink)->lost()), std::tuple(1, 1));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
