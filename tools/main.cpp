// qvr-sandbox: plays the host application around the ads module for a stretch of simulated time,
// on simulated ad networks and a simulated consent platform, and prints what the host sees and a
// summary. The program itself is SandboxTool; this file only sets up the process.

#include <csignal>
#include <iostream>

#include "tools/Interruption.h"
#include "tools/SandboxTool.h"

int main(int argc, char** argv) {
  // A reader that stops early (qvr-sandbox | head) must not kill the run before it removes its
  // temporary storage: writes to a closed pipe then simply fail, and are reported.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C ends the session at its next step instead of the process at once; until a run begins,
  // while the inputs are read and the outputs opened, it ends the process.
  QVRAdKit::Sandbox::Interruption::install();
  QVRAdKit::Sandbox::Interruption::setStopsAtOnce(true);
  return QVRAdKit::Sandbox::SandboxTool::main(argc, argv, std::cout, std::cerr);
}
