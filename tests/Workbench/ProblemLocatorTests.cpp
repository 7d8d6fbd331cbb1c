#include "Workbench/ProblemLocator.h"

#include <gtest/gtest.h>

namespace QVRAdKit::Workbench {
namespace {

struct Case {
  const char* name;
  const char* document;
  const char* line;
  const char* place;
  std::optional<TextRange> range;
};

TextRange range(int line, int column, int endLine, int endColumn) {
  return {{line, column}, {endLine, endColumn}};
}

TEST(ProblemLocator, FindsThePlaceEachCheckerLineNames) {
  const Case cases[] = {
      {"scalar field: name through value", "{\n  \"a\": {\"timeout\": -5}\n}",
       "a.timeout: must not be negative, found -5", "a.timeout", range(2, 9, 2, 22)},
      {"array element", "{\"keys\": [\"x\", \"y\",\n \"x\"]}", "keys[2]: duplicate key \"x\"",
       "keys[2]", range(2, 2, 2, 5)},
      {"quoted name with a dot and a colon", "{\"adUnits\": {\"/a.b: c\": {\"fill\": 2}}}",
       "adUnits[\"/a.b: c\"].fill: must be from 0 to 1, found 2", "adUnits[\"/a.b: c\"].fill",
       range(1, 26, 1, 35)},
      {"object value: its name only", "{\"sources\": {\"x\": 1}}", "sources: unknown network",
       "sources", range(1, 2, 1, 11)},
      {"the second of two equal names is not taken for the first", "{\"a\": 1, \"b\": {\"a\": 2}}",
       "b.a: wrong", "b.a", range(1, 16, 1, 22)},
      {"root", "  {\"x\": 1}", "configuration: missing sources", "configuration",
       range(1, 3, 1, 4)},
      {"invalid JSON carries its line and column", "{\n  \"a\": ,\n}",
       "invalid JSON: syntax error while parsing value - unexpected ','; expected '[', '{', or a "
       "literal at line 2, column 8",
       "", range(2, 8, 2, 9)},
      {"place the document does not hold", "{\"a\": 1}", "b.c: missing", "b.c", std::nullopt},
      {"element past the end", "{\"k\": [1]}", "k[3]: bad", "k[3]", std::nullopt},
      {"a document's problem has no place", "{}",
       "the configuration is 2000000 bytes, more than the limit of 1048576", "", std::nullopt},
      {"columns count UTF-16 units: an emoji is two",
       "{\"t\": \"\xF0\x9F\x98\x80\xC3\xA9\", \"n\": 1}", "n: bad", "n", range(1, 14, 1, 20)},
      {"truncated text", "{\"a\": {\"b\": ", "a.b: bad", "a.b", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto problem = ProblemLocator::locate(c.document, c.line);
    EXPECT_EQ(problem.text, c.line);
    EXPECT_EQ(problem.place, c.place);
    EXPECT_EQ(problem.range, c.range);
  }
}

TEST(ProblemLocator, GivesUpOnNestingBeyondItsBoundInsteadOfRecursingOn) {
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::string document = "{\"b\": " + deep + ", \"a\": 1}";
  EXPECT_EQ(ProblemLocator::locate(document, "a: bad").range, std::nullopt);
  // Within the bound, the same shape is found.
  const std::string shallow = "{\"b\": [[[]]], \"a\": 1}";
  EXPECT_NE(ProblemLocator::locate(shallow, "a: bad").range, std::nullopt);
}

}  // namespace
}  // namespace QVRAdKit::Workbench
