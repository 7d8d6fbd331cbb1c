#include <gtest/gtest.h>

#include <sstream>

#include "Sandbox/Logging/RecordingLogger.h"
#include "Sandbox/Logging/StderrLogger.h"

namespace QVRAdKit::Sandbox {
namespace {

TEST(StderrLoggerTest, WritesOneLinePerMessageAtOrAboveTheMinimumLevel) {
  std::ostringstream out;
  StderrLogger logger(LogFlag::warning, out);
  logger.log(LogFlag::info, "dropped", "QVRAdKit/A", "f()", 1);
  logger.log(LogFlag::warning, "kept", "QVRAdKit/Services/AdsService/AdsService",
             "shouldShowAd(for:)", 42);
  logger.log(LogFlag::verbose, "dropped", "QVRAdKit/A", "f()", 2);
  logger.assertionFailure("two\nlines", "QVRAdKit/B", "g()", 7);
  logger.log(LogFlag::error, "last", "QVRAdKit/C", "h()", 9);
  EXPECT_EQ(out.str(),
            "WARNING QVRAdKit/Services/AdsService/AdsService:42 shouldShowAd(for:): kept\n"
            "ASSERTION FAILURE QVRAdKit/B:7 g(): two\\nlines\n"
            "ERROR QVRAdKit/C:9 h(): last\n");
}

TEST(StderrLoggerTest, VerboseMinimumWritesEveryLevel) {
  std::ostringstream out;
  StderrLogger logger(LogFlag::verbose, out);
  for (auto flag :
       {LogFlag::error, LogFlag::warning, LogFlag::info, LogFlag::debug, LogFlag::verbose}) {
    logger.log(flag, "m", "F", "f", 1);
  }
  EXPECT_EQ(out.str(),
            "ERROR F:1 f: m\nWARNING F:1 f: m\nINFO F:1 f: m\nDEBUG F:1 f: m\nVERBOSE F:1 f: m\n");
}

TEST(RecordingLoggerTest, RecordsEntriesInOrderWithAssertionFailuresMarked) {
  RecordingLogger logger;
  logger.log(LogFlag::debug, "one", "QVRAdKit/A", "a()", 1);
  logger.assertionFailure("broken", "QVRAdKit/B", "b()", 2);
  logger.log(LogFlag::error, "three", "QVRAdKit/C", "c()", 3);

  EXPECT_EQ(logger.messages(), (std::vector<std::string>{"one", "broken", "three"}));
  const auto entries = logger.entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], (RecordingLogger::Entry{LogFlag::debug, "one", "QVRAdKit/A", "a()", 1}));
  EXPECT_FALSE(entries[0].isAssertionFailure());
  EXPECT_TRUE(entries[1].isAssertionFailure());
  const auto failures = logger.assertionFailures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0], (RecordingLogger::Entry{std::nullopt, "broken", "QVRAdKit/B", "b()", 2}));

  logger.clear();
  EXPECT_TRUE(logger.entries().empty());
  EXPECT_TRUE(logger.assertionFailures().empty());
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
