// qvr-sandbox: plays the host application around the ads module for a stretch of simulated time,
// on simulated ad networks and a simulated consent platform, and prints what the host sees and a
// summary. The program itself is SandboxTool; this file only sets up the process.

#include <algorithm>
#include <csignal>
#include <iostream>
#include <string_view>

#ifdef QVR_SANDBOX_MIMALLOC_LINKED
#include <mimalloc.h>
#endif

#include "tools/Interruption.h"
#include "tools/SandboxTool.h"

namespace {

// The workbench server plays its large session pictures (tens of megabytes each) on whichever of
// its worker threads takes the connection, and mimalloc keeps the pages each thread freed for
// that thread: an idle server would hold what every worker ever played, near a gigabyte. Serving,
// freed pages go back to the system at once (a picture takes about a tenth longer); runs keep the
// default, whose reuse of freed pages is what makes them fast.
void returnFreedMemoryWhenServing(int argc, char** argv) {
#ifdef QVR_SANDBOX_MIMALLOC_LINKED
  if (std::find(argv + 1, argv + argc, std::string_view("serve")) == argv + argc) return;
  mi_option_set(mi_option_page_reset, 1);
  mi_option_set(mi_option_decommit_delay, 0);
#else
  (void)argc;
  (void)argv;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  returnFreedMemoryWhenServing(argc, argv);
  // A reader that stops early (qvr-sandbox | head) must not kill the run before it removes its
  // temporary storage: writes to a closed pipe then simply fail, and are reported.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C ends the session at its next step instead of the process at once; until a run begins,
  // while the inputs are read and the outputs opened, it ends the process.
  QVRAdKit::Sandbox::Interruption::install();
  QVRAdKit::Sandbox::Interruption::setStopsAtOnce(true);
  return QVRAdKit::Sandbox::SandboxTool::main(argc, argv, std::cout, std::cerr);
}
