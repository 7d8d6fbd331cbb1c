#include "Sandbox/Config/ConfigurationProblems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace QVRAdKit::Sandbox {
namespace {

// What hasErrorWithin means, place by place: the place itself, or a place that continues it with
// a field ('.') or an element or quoted name ('[').
bool within(const std::vector<std::string>& places, const std::string& path) {
  for (const std::string& place : places) {
    if (path.empty()) return true;
    if (place.starts_with(path) &&
        (place.size() == path.size() || place[path.size()] == '.' || place[path.size()] == '[')) {
      return true;
    }
  }
  return false;
}

TEST(ConfigurationProblems, AnswersWhereErrorsAreAsAScanOfEveryPlaceWould) {
  const std::vector<std::string> places = {
      "a",         "ab.c",       "b[3]",
      "b[3].x",    "c[\"x.y\"]", "d.e.f",
      "g[\"h[\"]", "sources",    "interstitial.connect.keys[2]",
      "z.y",
  };
  const std::vector<std::string> asked = {
      "",
      "a",
      "a.b",
      "ab",
      "ab.c",
      "ab.c.d",
      "abc",
      "b",
      "b[3]",
      "b[3",
      "b[30]",
      "b[3].x",
      "b[3].xy",
      "c",
      "c[\"x",
      "c[\"x.y\"]",
      "c[\"x.y",
      "d",
      "d.e",
      "d.e.f",
      "d.ef",
      "g",
      "g[\"h",
      "sources",
      "source",
      "interstitial",
      "interstitial.connect",
      "interstitial.connect.keys",
      "interstitial.connect.key",
      "z",
      "y",
      "z.y.x",
  };
  ConfigurationProblems problems;
  std::vector<std::string> reported;
  for (const std::string& place : places) {
    problems.error(place, "bad");
    reported.push_back(place);
    // After each new error, every question has the scan's answer.
    for (const std::string& path : asked) {
      SCOPED_TRACE(testing::Message() << place << " / " << path);
      EXPECT_EQ(problems.hasErrorWithin(path), within(reported, path));
      EXPECT_EQ(problems.hasErrorAt(path),
                std::find(reported.begin(), reported.end(), path) != reported.end());
    }
  }
}

TEST(ConfigurationProblems, AProblemOfTheWholeDocumentIsAtNoPlace) {
  ConfigurationProblems problems;
  EXPECT_FALSE(problems.hasErrorWithin(""));
  problems.documentError("invalid JSON: bad\nthing");
  EXPECT_EQ(problems.errors(), std::vector<std::string>{"invalid JSON: bad thing"});
  EXPECT_TRUE(problems.hasErrorWithin(""));  // "" holds every error
  EXPECT_FALSE(problems.hasErrorAt(""));
  EXPECT_FALSE(problems.hasErrorWithin("a"));
  problems.error("", "missing field \"sources\"");
  EXPECT_TRUE(problems.hasErrorAt(""));
  EXPECT_FALSE(problems.hasErrorWithin("a"));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
