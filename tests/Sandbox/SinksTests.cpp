#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Logging/StderrLogger.h"
#include "Sandbox/Reporting/JsonLinesReporting.h"

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
  JsonLinesReporting reporting(out);
  reporting.track({"ad_shown",
                   {{"zeta", std::string("line\nbreak \"quoted\"")},
                    {"alpha", std::int64_t{-42}},
                    {"middle", true},
                    {"alpha", std::int64_t{99}}}});
  reporting.track({"bad_utf8", {{"text", std::string("caf\xC3")}}});

  // Parameters keep their order (a repeated name its first value) and their types; invalid UTF-8
  // is replaced, not thrown on.
  EXPECT_EQ(out.str(), R"({"event":"ad_shown","parameters":{"zeta":"line\nbreak \"quoted\"",)"
                       R"("alpha":-42,"middle":true}})"
                       "\n"
                       R"({"event":"bad_utf8","parameters":{"text":"caf)"
                       "\xEF\xBF\xBD\"}}\n");
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
