#pragma once
// SandboxTool is the qvr-sandbox program without its process: it parses and validates a command
// line, checks the configuration (printing its warnings, and all its errors when there are any),
// plays one session, and writes the narration, the summary (text, or JSON with --json) and the
// analytics events; or, with --sessions, plays many sessions and prints their tables. Everything
// (options, paths, configuration, inspection times, the store) is checked before any output is
// created, and files are replaced only once complete (AtomicFile). Exit codes: 0 done; 2 bad
// input (command line, configuration, storage file), every problem on its own line of err,
// nothing run and no file changed; 1 output lost (a file or stdout could not be written, said as
// "cannot write <what>: <reason>"; the summary then counts only the events that were written) or
// an internal error; 128 + the signal when SIGINT, SIGTERM or SIGHUP stopped the run early (what
// was played is still written and summarised). Example:
//   return SandboxTool::main(argc, argv, std::cout, std::cerr);
// Threading: runs on the calling thread, which plays the session's main thread.

#include <ostream>
#include <string>

#include "tools/SandboxToolOptions.h"

namespace QVRAdKit::Sandbox {

class SandboxTool {
 public:
  static constexpr int kDone = 0;
  static constexpr int kOutputLost = 1;
  static constexpr int kBadInput = 2;

  // Says message on err as the program says everything: one line (line breaks in it, from a
  // path say, become spaces), prefixed with the program's name, invalid bytes and controls escaped.
  static void say(std::ostream& err, std::string message);

  // The whole program: argv[0] is the program's name.
  [[nodiscard]] static int main(int argc, const char* const* argv, std::ostream& out,
                                std::ostream& err);
  // Runs validated options.
  [[nodiscard]] static int run(const SandboxToolOptions& options, std::ostream& out,
                               std::ostream& err);
};

}  // namespace QVRAdKit::Sandbox
