#include "tools/Interruption.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

// Each case runs in a child process, which the second signal ends.
TEST(InterruptionTest, TheFirstSignalAsksToStopAndASecondOfAnyKindEndsTheProcessAtOnce) {
  const fs::path temporary =
      fs::temp_directory_path() / ("qvr-signal-" + std::to_string(std::random_device{}()));
  const std::vector<std::tuple<int, int>> orders = {
      {SIGTERM, SIGINT}, {SIGINT, SIGTERM}, {SIGHUP, SIGINT}, {SIGINT, SIGHUP}, {SIGTERM, SIGTERM}};
  for (const auto& [first, second] : orders) {
    std::ofstream(temporary) << "a temporary store";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Interruption::request(0);
      Interruption::install();
      if (TemporaryFiles::add(temporary.string()) < 0) _exit(10);
      if (std::raise(first) != 0) _exit(11);
      // Handled: the process goes on, with the stop asked for by that signal.
      if (Interruption::signal() != first) _exit(12);
      std::raise(second);
      _exit(13);  // not reached: the second signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status))
        << first << " then " << second << ": exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), second);
    EXPECT_FALSE(fs::exists(temporary)) << "the temporary files go with the process";
  }
}

// Before a run begins (inputs read, outputs opened: a FIFO's open blocks until its other end
// comes) there is no next step to stop at: the first signal ends the process.
TEST(InterruptionTest, BeforeARunBeginsTheFirstSignalEndsTheProcess) {
  const fs::path temporary =
      fs::temp_directory_path() / ("qvr-signal-" + std::to_string(std::random_device{}()));
  std::ofstream(temporary) << "an events file being made";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Interruption::request(0);
    Interruption::install();
    Interruption::setStopsAtOnce(true);
    if (TemporaryFiles::add(temporary.string()) < 0) _exit(10);
    std::raise(SIGTERM);
    _exit(11);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_FALSE(fs::exists(temporary));
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
