// The module's folders form layers: each file includes only its own folder and folders of lower
// layers, and nothing in the module reaches the sandbox or the tools. A misplaced include (a
// builder reaching up into the ads service, say) fails here with the file and the line.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lower numbers lie lower. A folder may include its own folder and any folder of a lower layer;
// folders of the same layer stay apart.
// The view kit logs through the host's logger, so it sits above Host; the host's style kit
// (ClientKit) styles its views.
const std::map<std::string, int> kLayers = {
    {"Rx", 0},       {"Platform", 1},  {"Host", 2},      {"SDK", 2},     {"UI", 3},
    {"Config", 3},   {"ClientKit", 4}, {"Reporting", 4}, {"Consent", 4}, {"Ads", 5},
    {"Builders", 6}, {"Banner", 6},    {"Services", 7},
};

fs::path moduleRoot() {
  // This file lives in <root>/tests/Layering/.
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "QVRAdKit";
}

struct Include {
  std::string file;
  int line;
  std::string target;
};

std::vector<Include> includesOf(const fs::path& file, const fs::path& root) {
  static const std::regex kInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<Include> found;
  std::ifstream in(file);
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::smatch match;
    if (std::regex_search(text, match, kInclude)) {
      found.push_back({fs::relative(file, root).string(), line, match[1].str()});
    }
  }
  return found;
}

// "QVRAdKit/Builders/X.h" -> "Builders"; none for anything outside the module.
std::optional<std::string> moduleFolder(const std::string& include) {
  static const std::string kPrefix = "QVRAdKit/";
  if (include.rfind(kPrefix, 0) != 0) return std::nullopt;
  const auto slash = include.find('/', kPrefix.size());
  if (slash == std::string::npos) return std::nullopt;
  return include.substr(kPrefix.size(), slash - kPrefix.size());
}

TEST(IncludeLayering, EveryModuleFileIncludesOnlyItsOwnAndLowerLayers) {
  const fs::path root = moduleRoot();
  ASSERT_TRUE(fs::is_directory(root)) << root;
  std::size_t checked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const auto extension = entry.path().extension();
    if (extension != ".h" && extension != ".cpp") continue;
    const std::string folder = fs::relative(entry.path(), root).begin()->string();
    const auto own = kLayers.find(folder);
    ASSERT_NE(own, kLayers.end()) << "folder " << folder << " has no layer in this test";
    for (const Include& include : includesOf(entry.path(), root)) {
      ++checked;
      EXPECT_EQ(include.target.rfind("Sandbox/", 0), std::string::npos)
          << include.file << ":" << include.line << " reaches the sandbox";
      EXPECT_EQ(include.target.rfind("tools/", 0), std::string::npos)
          << include.file << ":" << include.line << " reaches the tools";
      const auto target = moduleFolder(include.target);
      if (!target || *target == folder) continue;
      const auto layer = kLayers.find(*target);
      ASSERT_NE(layer, kLayers.end()) << include.file << ":" << include.line << " includes "
                                      << include.target << ", a folder with no layer";
      EXPECT_LT(layer->second, own->second)
          << include.file << ":" << include.line << " includes " << include.target << ": a "
          << folder << " file may not depend on " << *target;
    }
  }
  EXPECT_GT(checked, 100U) << "the walk found the module's sources";
}

}  // namespace
