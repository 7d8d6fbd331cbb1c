#include "Sandbox/Config/StrictJsonParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace QVRAdKit::Sandbox {
namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::string>;

// The JSON library's own message for a text it refuses, without its "[json.exception...] " tag.
std::string libraryMessage(const std::string& text) {
  try {
    const Json accepted = Json::parse(text);
    return "(accepted: " + accepted.dump() + ")";
  } catch (const Json::exception& error) {
    const std::string message = error.what();
    return message.substr(message.find("] ") + 2);
  }
}

// The reader builds the same document as the library's reader (a field named twice keeps its
// last value, as there), and reports each place the library would pass over in silence.
TEST(StrictJsonParser, BuildsTheLibrarysDocumentAndNamesWhatItWouldHideByPlace) {
  struct Case {
    const char* name;
    std::string text;
    Lines errors;
  };
  const Case cases[] = {
      {"containers in containers, every kind of scalar",
       R"({"a": [{"b": [1, 2.5, {"c": null}]}, [], [[]], {}], "d": {"e": {"f": true}},
           "u": 18446744073709551615, "i": -5, "s": "x\u00e9", "n": [false, "", -0.0]})",
       {}},
      {"a field named twice at each level, the last value kept",
       R"({"a": 1, "a": {"x": 1}, "b": [{"c": [1], "c": 2, "c": {"d": 0}}], "a": [3]})",
       {"configuration: field \"a\" appears more than once",
        "b[0]: field \"c\" appears more than once", "b[0]: field \"c\" appears more than once",
        "configuration: field \"a\" appears more than once"}},
      {"an odd name is quoted in the place",
       R"({"x.y": {"k": 1, "k": 2}})",
       {"[\"x.y\"]: field \"k\" appears more than once"}},
      {"numbers too small for a double, and zeros that are zeros",
       R"({"t": 1e-400, "z": 0.0, "arr": [0, 1E-999, -0e5, 0.000e-999, {"w": -2.5e-330}]})",
       {"t: is too small to represent, found 1e-400",
        "arr[1]: is too small to represent, found 1E-999",
        "arr[4].w: is too small to represent, found -2.5e-330"}},
      {"a root that is an array",
       "[1, [2, 1e-500]]",
       {"[1][1]: is too small to represent, found 1e-500"}},
      {"a root that is a scalar", " 7 ", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigurationProblems problems;
    const auto result = StrictJsonParser::parse(c.text, problems);
    ASSERT_EQ(result.outcome, StrictJsonParser::Outcome::parsed);
    EXPECT_EQ(result.root, Json::parse(c.text));
    EXPECT_EQ(problems.errors(), c.errors);
    EXPECT_EQ(problems.warnings(), Lines{});
  }
}

TEST(StrictJsonParser, RefusesWhatIsNotJsonWithTheLibrarysMessageAndNothingElse) {
  const std::string texts[] = {
      "",    "{\"a\": 1} x", "{\"a\": 1, \"a\": 2", "[1e400]", "{\"a\": 1e-400,}", "{\"a\" 1}",
      "[-]", "\"\\x\"",      "{\"a\": [1, 2]]",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    ConfigurationProblems problems;
    const auto result = StrictJsonParser::parse(text, problems);
    EXPECT_EQ(result.outcome, StrictJsonParser::Outcome::invalidJson);
    EXPECT_TRUE(result.root.is_null());
    // Fields named twice or tiny numbers before the fault are not reported: the text is refused.
    EXPECT_EQ(problems.errors(), Lines{"invalid JSON: " + libraryMessage(text)});
  }
}

// The library's reader takes a NUL byte for the end of the text and ignores what follows; JSON
// text holds none (not even in a string), so one anywhere is refused at its place.
TEST(StrictJsonParser, RefusesANulByteAtItsPlaceWhateverFollows) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"{\"a\": 1}\0 not json {{{"s, "line 1, column 9"},
      {"\0"s, "line 1, column 1"},
      {"{\"a\": \"x\0y\"}"s, "line 1, column 9"},
      {"{\n  \"a\": [1,\n\0 2]}"s, "line 3, column 1"},
      {"{\"a\": 1, \"a\": 2}\0"s, "line 1, column 17"},
  };
  for (const auto& [text, place] : cases) {
    SCOPED_TRACE(place);
    ConfigurationProblems problems;
    const auto result = StrictJsonParser::parse(text, problems);
    EXPECT_EQ(result.outcome, StrictJsonParser::Outcome::invalidJson);
    EXPECT_EQ(problems.errors(), Lines{"invalid JSON: a NUL byte at " + place});
  }
}

TEST(StrictJsonParser, StopsAtTheFirstContainerBeyondTheNestingBound) {
  const auto nested = [](int depth, const std::string& inside) {
    std::string text;
    for (int level = 0; level < depth; ++level) text += level % 2 == 0 ? "{\"a\": " : "[";
    text += inside;
    for (int level = depth - 1; level >= 0; --level) text += level % 2 == 0 ? "}" : "]";
    return text;
  };
  ConfigurationProblems within;
  EXPECT_EQ(StrictJsonParser::parse(nested(StrictJsonParser::kMaxDepth, "1"), within).outcome,
            StrictJsonParser::Outcome::parsed);
  EXPECT_EQ(within.errors(), Lines{});
  // The 33rd container is refused at its place; a field named twice before it is not reported.
  ConfigurationProblems beyond;
  const std::string text =
      "{\"d\": 1, \"d\": 2, \"x\": " + nested(StrictJsonParser::kMaxDepth, "[]") + "}";
  EXPECT_EQ(StrictJsonParser::parse(text, beyond).outcome, StrictJsonParser::Outcome::tooLarge);
  std::string place = "x";
  for (int level = 0; level < StrictJsonParser::kMaxDepth - 1; ++level) {
    place += level % 2 == 0 ? ".a" : "[0]";
  }
  EXPECT_EQ(beyond.errors(), Lines{place + ": nested deeper than 32 levels"});
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
