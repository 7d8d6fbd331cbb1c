#include "tools/Interruption.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "Sandbox/Output/TemporaryFiles.h"

namespace QVRAdKit::Sandbox {
namespace {

namespace fs = std::filesystem;

// Each case runs in a child process, which a signal ends: during a run the second (of any kind),
// before a run begins (inputs read, outputs opened: a FIFO's open blocks until its other end
// comes, with no next step to stop at) the first. The temporary files go with the process.
TEST(InterruptionTest, AFirstSignalAsksARunToStopAndASecondOrOneBeforeTheRunEndsTheProcess) {
  const fs::path temporary =
      fs::temp_directory_path() / ("qvr-signal-" + std::to_string(std::random_device{}()));
  struct Case {
    int first;
    int second;
    bool beforeTheRun;
  };
  const Case cases[] = {{SIGTERM, SIGINT, false},  {SIGINT, SIGTERM, false},
                        {SIGHUP, SIGINT, false},   {SIGINT, SIGHUP, false},
                        {SIGTERM, SIGTERM, false}, {SIGTERM, SIGINT, true}};
  for (const auto& [first, second, beforeTheRun] : cases) {
    std::ofstream(temporary) << "a temporary store";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Interruption::request(0);
      Interruption::install();
      Interruption::setStopsAtOnce(beforeTheRun);
      if (TemporaryFiles::add(temporary.string()) < 0) _exit(10);
      if (std::raise(first) != 0) _exit(11);
      // Handled during a run: the process goes on, with the stop asked for by that signal.
      if (Interruption::signal() != first) _exit(12);
      std::raise(second);
      _exit(13);  // not reached: the second signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status))
        << first << " then " << second << ": exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), beforeTheRun ? first : second);
    EXPECT_FALSE(fs::exists(temporary)) << "the temporary files go with the process";
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
