#include "tools/OutputPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;
using Role = OutputPaths::Role;
using Lines = std::vector<std::string>;

class OutputPathsTest : public ::testing::Test, public QVRAdKit::Testing::TemporaryDirectory {
 protected:
  OutputPathsTest() : TemporaryDirectory("qvr-paths-") {
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "store.sqlite") << "x";
    fs::create_symlink(dir / "store.sqlite", dir / "link.sqlite");
    fs::create_hard_link(dir / "store.sqlite", dir / "hard.sqlite");
    fs::create_symlink("absent.sqlite", dir / "dangling.sqlite");  // relative, to no file yet
  }

  static Lines clash(const std::string& first, Role firstRole, const std::string& second,
                     Role secondRole) {
    OutputPaths paths;
    paths.add("--a", first, firstRole);
    paths.add("--b", second, secondRole);
    return paths.problems();
  }
};

TEST_F(OutputPathsTest, AWriterSharesItsFileWithNoOtherPathHoweverItIsNamed) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {file("store.sqlite"), file("store.sqlite")},
      {(dir / "." / "store.sqlite").string(), file("store.sqlite")},
      {(dir / "sub" / ".." / "store.sqlite").string(), file("store.sqlite")},
      {file("link.sqlite"), file("store.sqlite")},  // a symbolic link
      {file("hard.sqlite"), file("store.sqlite")},  // a hard link: the same inode
      {file("new.sqlite"), (dir / "sub" / ".." / "new.sqlite").string()},  // neither exists
      {file("dangling.sqlite"), file("absent.sqlite")},  // created through the link
  };
  for (const auto& [first, second] : same) {
    for (const Role other : {Role::read, Role::write}) {
      const Lines problems = clash(first, Role::write, second, other);
      ASSERT_EQ(problems.size(), 1u) << first << " / " << second;
      EXPECT_TRUE(problems[0].starts_with("--a and --b name the same file \"" + first + "\""))
          << problems[0];
    }
    EXPECT_EQ(clash(first, Role::read, second, Role::read), Lines{}) << "two readers may share";
  }
  EXPECT_EQ(clash(file("store.sqlite"), Role::write, file("other.sqlite"), Role::write), Lines{});
}

TEST_F(OutputPathsTest, StandardOutputHasOneWriterUnderAnyOfItsNames) {
  for (const char* name : {"-", "/dev/stdout", "/proc/self/fd/1", "/dev/fd/1"}) {
    EXPECT_TRUE(OutputPaths::namesStandardOutput(name)) << name;
    OutputPaths paths;
    paths.addStandardOutput("--json");
    paths.add("--events", name, Role::write);
    EXPECT_EQ(paths.problems(),
              Lines{"--json and --events both write to standard output: give one of them a file"})
        << name;
  }
  EXPECT_FALSE(OutputPaths::namesStandardOutput("./-"));
  EXPECT_FALSE(OutputPaths::namesStandardOutput("/dev/stdout2"));
}

// A file written when a long run ends is checked when it starts: each reason named, nothing made.
TEST_F(OutputPathsTest, AFileWrittenAtTheEndIsCheckedBeforeTheRun) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {file("new.shard"), ""},
      {file("store.sqlite"), ""},     // replaced
      {file("dangling.sqlite"), ""},  // made through the link
      {"/dev/null", ""},
      {file("absent/x.shard"), "the directory \"" + file("absent") + "\" does not exist"},
      {file("sub"), "it is a directory"},
      {file("store.sqlite/x.shard"), "\"" + file("store.sqlite") + "\" is not a directory"},
      {"/proc/version", "no file can be made in \"/proc\""},
      {"/dev/full", "No space left on device"},
  };
  std::vector<fs::path> before(fs::directory_iterator(dir), fs::directory_iterator{});
  for (const auto& [path, reason] : cases) {
    OutputPaths paths;
    paths.addFileOutput("--shard-out", path);
    EXPECT_EQ(
        paths.problems(),
        reason.empty() ? Lines{} : Lines{"--shard-out: cannot write \"" + path + "\": " + reason});
  }
  std::vector<fs::path> after(fs::directory_iterator(dir), fs::directory_iterator{});
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before) << "nothing made, nothing left behind";

  // Standard output is no file to check: it clashes with what else writes there.
  OutputPaths stdoutShard;
  stdoutShard.addFileOutput("--shard-out", "-");
  stdoutShard.addStandardOutput("the tables");
  EXPECT_EQ(stdoutShard.problems(), Lines{"--shard-out and the tables both write to standard "
                                          "output: give one of them a file"});
}

TEST_F(OutputPathsTest, AnEmptyPathIsRefusedWithTheOptionsHint) {
  OutputPaths paths;
  paths.add("--events", "", Role::write, "use - for stdout");
  paths.add("--storage", "", Role::write);
  EXPECT_EQ(paths.problems(), (Lines{"--events: the path is empty (use - for stdout)",
                                     "--storage: the path is empty"}));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
