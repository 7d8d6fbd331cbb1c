#include "Workbench/ProblemLocator.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Sandbox/Config/ConfigurationPath.h"
#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"

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

// A line naming each place of the value at path, and of every value inside it.
void linesForEveryPlace(const nlohmann::json& value, const std::string& path,
                        std::vector<std::string>& lines) {
  lines.push_back((path.empty() ? std::string("configuration") : path) + ": here");
  if (value.is_object()) {
    for (const auto& item : value.items()) {
      linesForEveryPlace(item.value(), Sandbox::ConfigurationPath::child(path, item.key()), lines);
    }
  } else if (value.is_array()) {
    for (std::size_t index = 0; index < value.size(); ++index) {
      linesForEveryPlace(value[index], Sandbox::ConfigurationPath::element(path, index), lines);
    }
  }
}

// Configurations with many problems, odd names, fields named twice, several layouts.
std::vector<std::string> manyProblemDocuments() {
  std::vector<std::string> documents;
  auto base = nlohmann::json::parse(Sandbox::kDefaultSandboxConfigurationJson);
  auto& units = base["simulation"]["adMob"]["adUnits"];
  for (int unit = 0; unit < 200; ++unit) {
    std::string name = "u";
    units[name.append(std::to_string(unit))] = nlohmann::json::object();
  }
  units["/odd.name[1]"] = {{"fillRate", 2}};
  units["quote\"and\\back"] = {{"fillRate", -1}};
  units["emoji \xF0\x9F\x98\x80 \xC3\xA9"] = {{"fillRate", 0.5}, {"latency", "x"}};
  units["configuration"] = nlohmann::json::object();
  base["interstitial"]["connect"]["keys"] = {"/a", "/b", "/a", "/c", "/b"};
  base["interstitial"]["disconnect"]["timeout"] = -3;
  documents.push_back(base.dump(2));
  documents.push_back(base.dump());
  documents.push_back(base.dump(1, '\t'));
  // 101 keys, an unknown field, a field named twice (only its first is found), escapes in names.
  std::string keys;
  for (int key = 0; key <= 100; ++key) {
    keys.append(key > 0 ? ", \"/k" : "\"/k").append(std::to_string(key)) += '"';
  }
  documents.push_back(R"({"sources": {"adMob": null, "adMob": null, "x": 1},
    "interstitial": {"connect": {"source": "adMob", "keys": [)" +
                      keys + R"(], "timeot": 1},
                     "connect": {"source": "nowhere", "keys": []}},
    "simulation": {"adMob": {"adUnits": {"\u0041": {"fillRate": 9}, "A": {}, "\/k1": {"fillRate": 1e-400},
                                         "deep": {"latency": {"minimum": [[[[{"a": 1}]]]]}}}}}})");
  return documents;
}

// Locating every line of a check with one reading of the text gives what locating each line on
// its own gives, and reads the text once when it is JSON.
TEST(ProblemLocator, OneReadingFindsWhatEachLineFindsOnItsOwn) {
  std::size_t found = 0;
  for (const std::string& document : manyProblemDocuments()) {
    SCOPED_TRACE(document.substr(0, 200));
    const auto check = Sandbox::SandboxConfigurationCheck::ofText(document);
    std::vector<std::string> lines = check.errors;
    lines.insert(lines.end(), check.warnings.begin(), check.warnings.end());
    ASSERT_GT(lines.size(), 3U);
    linesForEveryPlace(nlohmann::json::parse(document), "", lines);
    lines.insert(lines.end(), {"nowhere.at.all: x", "interstitial.connect.keys[999]: x",
                               "sources[0]: x", "interstitial[\"connect\"].keys[0]: x",
                               "sources.adMob.x: x", "a[\"unterminated: x", "no place here"});
    const ProblemLocator locator(document);
    EXPECT_TRUE(locator.readOnce());
    for (const std::string& line : lines) {
      SCOPED_TRACE(line);
      const LocatedProblem once = locator.locate(line);
      const LocatedProblem alone = ProblemLocator::locate(document, line);
      EXPECT_EQ(once.text, alone.text);
      EXPECT_EQ(once.place, alone.place);
      EXPECT_EQ(once.range, alone.range);
      if (alone.range) ++found;
    }
  }
  EXPECT_GT(found, 1000U);
}

// A text that is not JSON, or nests beyond the bound, is read again for each line, as before.
TEST(ProblemLocator, TextOneReadingCannotHoldIsLocatedLineByLine) {
  const std::string deep = std::string(70, '[') + std::string(70, ']');
  const std::string documents[] = {
      "{\"b\": " + deep + ", \"a\": 1}",
      "{\"a\": {\"b\": ",
      "{\"a\": [1,, 2], \"c\": 3}",
      "{\"a\": 1 \"b\": 2}",
      "",
      "{\"a\": [1, 2,], \"b\": {\"c\": 1,}}",
      "{\n  \"a\": ,\n}",
  };
  const std::string syntax =
      "invalid JSON: syntax error while parsing value - unexpected ','; expected '[', '{', or a "
      "literal at line 2, column 8";
  const std::string lines[] = {
      "a: x", "b: x", "a.b: x", "a[1]: x", "a[2]: x", "c: x", "b.c: x", "configuration: x", syntax,
  };
  for (const std::string& document : documents) {
    SCOPED_TRACE(document);
    const ProblemLocator locator(document);
    EXPECT_FALSE(locator.readOnce());
    for (const std::string& line : lines) {
      SCOPED_TRACE(line);
      EXPECT_EQ(locator.locate(line).range, ProblemLocator::locate(document, line).range);
    }
  }
}

}  // namespace
}  // namespace QVRAdKit::Workbench
