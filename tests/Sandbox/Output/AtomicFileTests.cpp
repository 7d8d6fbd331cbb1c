#include "Sandbox/Output/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"
#include "Support/FileSizeLimit.h"
#include "Support/TemporaryDirectory.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

using Testing::contents;

class AtomicFileTest : public ::testing::Test, public Testing::TemporaryDirectory {
 protected:
  AtomicFileTest() : TemporaryDirectory("qvr-atomic-") {}
  // Every name in the directory: no temporary file may stay behind.
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(dir)) {
      result.push_back(entry.path().filename().string());
    }
    std::sort(result.begin(), result.end());
    return result;
  }
};

TEST_F(AtomicFileTest, TheOldFileStaysWholeUntilCommitThenTheNewOneTakesItsPlace) {
  const fs::path target = dir / "page.html";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, dir / "link.html");

  auto file = AtomicFile::open((dir / "link.html").string(), "the page");
  ASSERT_TRUE(file.hasValue()) << file.error().localizedDescription;
  EXPECT_FALSE((*file)->write("new "));
  EXPECT_FALSE((*file)->write("page"));
  EXPECT_EQ(contents(target), "old");
  EXPECT_EQ(names().size(), 3u) << "the page, its link and the new page beside them";
  EXPECT_FALSE((*file)->commit());
  EXPECT_EQ(contents(target), "new page");
  EXPECT_TRUE(fs::is_symlink(dir / "link.html")) << "the link is kept, its file replaced";
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(names(), (std::vector<std::string>{"link.html", "page.html"}));

  // Given up (a refused run, a failure): the old file is as it was, nothing else remains.
  {
    auto abandoned = AtomicFile::open(target.string(), "the page");
    ASSERT_TRUE(abandoned.hasValue());
    (*abandoned)->write("half a pa");
  }
  EXPECT_EQ(contents(target), "new page");
  EXPECT_EQ(names(), (std::vector<std::string>{"link.html", "page.html"}));
}

// A link to a file not made yet makes that file, through a chain of links too; every link stays
// a link. A loop of links names no file: refused, and nothing is made.
TEST_F(AtomicFileTest, LinksToNoFileYetAreFollowedAndLoopsRefused) {
  fs::create_directories(dir / "sub");
  fs::create_symlink("sub/made.shard", dir / "link.shard");  // relative to the link's directory
  fs::create_symlink(dir / "link.shard", dir / "chain.shard");
  EXPECT_EQ(AtomicFile::unwritable((dir / "chain.shard").string()), std::nullopt);
  auto file = AtomicFile::open((dir / "chain.shard").string(), "the shard");
  ASSERT_TRUE(file.hasValue()) << file.error().localizedDescription;
  (*file)->write("whole");
  EXPECT_FALSE((*file)->commit());
  EXPECT_EQ(contents(dir / "sub" / "made.shard"), "whole");
  EXPECT_TRUE(fs::is_symlink(dir / "link.shard") && fs::is_symlink(dir / "chain.shard"));

  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  const std::string loop = (dir / "loop-a").string();
  EXPECT_EQ(AtomicFile::unwritable(loop), "Too many levels of symbolic links");
  auto looped = AtomicFile::open(loop, "the shard");
  ASSERT_FALSE(looped.hasValue());
  EXPECT_EQ(looped.error().localizedDescription,
            "cannot write the shard: Too many levels of symbolic links");
  EXPECT_EQ(names(),
            (std::vector<std::string>{"chain.shard", "link.shard", "loop-a", "loop-b", "sub"}));
}

TEST_F(AtomicFileTest, EachFailureNamesTheOutputAndTheReasonOfTheCallThatFailed) {
  // A file size limit makes the write itself fail (EFBIG), as a full disk would.
  const fs::path target = dir / "events.jsonl";
  std::ofstream(target) << "kept";
  auto file = AtomicFile::open(target.string(), "the analytics file \"events.jsonl\"");
  ASSERT_TRUE(file.hasValue());
  const auto failure = [&] {
    const QVRAdKit::Testing::FileSizeLimit limit(1000);
    return (*file)->write(std::string(5000, 'x'));
  }();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->localizedDescription,
            "cannot write the analytics file \"events.jsonl\": File too large");
  EXPECT_EQ((*file)->commit(), failure) << "the first failure is the one answered";
  EXPECT_EQ(contents(target), "kept");
  EXPECT_EQ(names(), std::vector<std::string>{"events.jsonl"});

  // Devices are written in place; a full one says so.
  auto full = AtomicFile::open("/dev/full", "the picture \"/dev/full\"");
  ASSERT_TRUE(full.hasValue());
  EXPECT_EQ((*full)->write("x")->localizedDescription,
            "cannot write the picture \"/dev/full\": No space left on device");
  auto null = AtomicFile::open("/dev/null", "nothing");
  ASSERT_TRUE(null.hasValue());
  EXPECT_FALSE((*null)->write("x"));
  EXPECT_FALSE((*null)->commit());

  // Refused at open: a directory, a directory that is not there.
  EXPECT_EQ(AtomicFile::open(dir.string(), "the page").error().localizedDescription,
            "cannot write the page: Is a directory");
  EXPECT_EQ(AtomicFile::open((dir / "no" / "x").string(), "the page").error().localizedDescription,
            "cannot write the page: No such file or directory");
}

TEST_F(AtomicFileTest, AProcessEndedAtOnceStillRemovesItsTemporaryFiles) {
  const fs::path target = dir / "page.html";
  std::ofstream(target) << "old";
  auto file = AtomicFile::open(target.string(), "the page");
  ASSERT_TRUE(file.hasValue());
  const std::string store = (dir / "store.sqlite").string();
  std::ofstream(store) << "temporary store";
  const int slot = TemporaryFiles::add(store);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(names().size(), 3u);

  TemporaryFiles::removeAllNow();  // what the handler of a second signal does
  EXPECT_EQ(names(), std::vector<std::string>{"page.html"});
  EXPECT_EQ(contents(target), "old");
  TemporaryFiles::forget(slot);
  EXPECT_TRUE((*file)->commit()) << "its temporary file is gone";
  EXPECT_EQ(contents(target), "old");
}

// The id of a process that has ended (and been waited for).
pid_t endedProcess() {
  const pid_t child = ::fork();
  if (child == 0) _exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

// What processes killed outright left beside a target is removed when it is next written, and
// only that: a live process's temporaries, names without a process, other targets' and other
// files stay.
TEST_F(AtomicFileTest, TemporariesOfEndedProcessesAreSweptWhenTheTargetIsNextWritten) {
  const std::string ended = std::to_string(endedProcess());
  const std::string live = std::to_string(::getppid());
  const std::string own = std::to_string(::getpid());
  struct Case {
    std::string name;
    bool stays;
  };
  const std::vector<Case> cases = {
      {".page.html." + ended + "-123.tmp", false},
      {".page.html." + ended + "-9.tmp", false},
      {".page.html." + live + "-123.tmp", true},
      {".page.html." + own + "-123.tmp", true},
      {".page.html.123456.tmp", true},  // no process in the name
      {".page.html.-" + ended + "-1.tmp", true},
      {".page.html." + ended + "-1.txt", true},
      {".other.html." + ended + "-1.tmp", true},
      {"page.html." + ended + "-1.tmp", true},
  };
  for (const Case& c : cases) std::ofstream(dir / c.name) << "left";
  auto file = AtomicFile::open((dir / "page.html").string(), "the page");
  ASSERT_TRUE(file.hasValue()) << file.error().localizedDescription;
  (*file)->write("page");
  ASSERT_FALSE((*file)->commit());
  std::vector<std::string> expected{"page.html"};
  for (const Case& c : cases) {
    if (c.stays) expected.push_back(c.name);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names(), expected);

  // A store and its journals, by their suffixes.
  for (const char* suffix : {".sqlite", ".sqlite-wal", ".sqlite-shm", ".json"}) {
    std::ofstream(dir / ("store-" + ended + "-7" + suffix)) << "left";
  }
  EXPECT_EQ(TemporaryFiles::sweep(dir, "store-", {".sqlite", ".sqlite-wal", ".sqlite-shm"}), 3);
  expected.push_back("store-" + ended + "-7.json");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names(), expected);
  EXPECT_EQ(TemporaryFiles::sweep(dir / "missing", "store-", {".sqlite"}), 0);
}

std::atomic<int> alarms{0};  // only the test's main thread takes the signal
extern "C" void countAlarm(int /*signal*/) {
  ++alarms;
}

// A signal arriving while a write waits for a slow reader cuts the write short (its handler does
// not restart calls): the writer goes on with the rest instead of failing.
TEST_F(AtomicFileTest, WritesCutShortBySignalsAreResumed) {
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::size_t received = 0;
  std::thread reader([&fifo, &received] {
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
    const int descriptor = ::open(fifo.c_str(), O_RDONLY);
    // Small reads keep the pipe nearly full, so the writer mostly waits.
    std::array<char, 256> buffer{};
    for (ssize_t read = 1; read > 0;) {
      read = ::read(descriptor, buffer.data(), buffer.size());
      if (read > 0) received += static_cast<std::size_t>(read);
    }
    ::close(descriptor);
  });
  struct sigaction action {};
  action.sa_handler = countAlarm;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGALRM, &action, &previous);  // no SA_RESTART
  const itimerval every{{0, 100}, {0, 100}};
  setitimer(ITIMER_REAL, &every, nullptr);

  auto file = AtomicFile::open(fifo.string(), "the pipe");
  std::optional<Platform::Error> failure = file ? std::nullopt : std::optional(file.error());
  const std::string bytes(std::size_t{4} << 20, 'x');
  if (file) failure = (*file)->write(bytes);
  if (file && !failure) failure = (*file)->commit();
  if (file) {
    file->reset();  // closed, even after a failure, so the reader sees the end
  } else {
    ::close(::open(fifo.c_str(), O_WRONLY));  // the reader waits for a writer
  }
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  reader.join();
  EXPECT_FALSE(failure) << failure->localizedDescription;
  EXPECT_EQ(received, bytes.size());
  EXPECT_GT(alarms, 0) << "the writes were interrupted";
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
