// `qvr-sandbox serve` through the program's own entry point, in-process: the stop request that
// Ctrl-C makes is made before the call, so the command serves, sees it and ends.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>

#include "Tools/SandboxToolFixture.h"
#include "Workbench/WorkbenchHttp.h"
#include "tools/Interruption.h"

namespace QVRAdKit::Workbench {
namespace {

class ServeCommand : public Sandbox::Testing::SandboxToolFixture {
 protected:
  // `qvr-sandbox serve` with arguments, asked to stop (as Ctrl-C does) before it starts or not.
  static Sandbox::Testing::Outcome serve(Sandbox::Testing::Lines arguments, bool interrupted) {
    arguments.insert(arguments.begin(), "serve");
    Sandbox::Interruption::request(interrupted ? SIGINT : 0);
    const auto outcome = run(std::move(arguments));
    Sandbox::Interruption::request(0);
    return outcome;
  }
};

TEST_F(ServeCommand, ServesOnLoopbackPrintsItsAddressAndStopsWhenInterrupted) {
  const auto outcome = serve({"--port", "0"}, true);
  EXPECT_EQ(outcome.code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("workbench at http://127.0.0.1:"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("workbench stopped"), std::string::npos);
  EXPECT_EQ(outcome.err.find("warning"), std::string::npos);
}

TEST_F(ServeCommand, RefusesWhatCannotServe) {
  Testing::WorkbenchHttp taken;
  const std::string busyPort = std::to_string(taken.server->port());
  struct Case {
    const char* name;
    Sandbox::Testing::Lines arguments;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"unreadable configuration",
       {"--config", "/nonexistent/qvr.json"},
       "cannot read the configuration file \"/nonexistent/qvr.json\": No such file"},
      {"a directory as configuration", {"--config", "/"}, "\"/\": it is a directory"},
      {"a port in use", {"--port", busyPort}, "cannot listen on 127.0.0.1"},
      {"a port out of range", {"--port", "65536"}, "--port"},
      // 192.0.2.0/24 is reserved for documentation: no machine has it, so nothing is served
      // (and nothing exposed to warn about).
      {"another address, not this machine's",
       {"--listen", "192.0.2.1", "--port", "0"},
       "cannot listen on 192.0.2.1"},
      {"an empty address", {"--listen", "", "--port", "0"}, "--listen: the address is empty"},
      {"a blank address", {"--listen", " ", "--port", "0"}, "--listen: the address is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto outcome = serve(c.arguments, true);
    EXPECT_EQ(outcome.code, 2);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out.find("workbench at"), std::string::npos);
    EXPECT_EQ(outcome.err.find("warning"), std::string::npos) << outcome.err;
  }
}

}  // namespace
}  // namespace QVRAdKit::Workbench
