// qvr-sandbox --check-integration prints the integration report of the sandbox host's wiring and
// plays no session.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox {
namespace {

TEST(CheckIntegrationTest, TheSandboxHostLacksNothingAndPlaysNoSession) {
  const char* argv[] = {"qvr-sandbox", "--check-integration"};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(SandboxTool::main(2, argv, out, err), SandboxTool::kDone) << err.str();
  // The sandbox host is a complete host: every piece the module asks for is there.
  const std::string report = out.str();
  EXPECT_EQ(report, "integration: nothing missing\n");
  EXPECT_EQ(report.find("Summary"), std::string::npos) << report;  // no session was played
}

// The modes that play nothing refuse a run's options rather than ignore them; the integration
// check reads the configuration, the default configuration nothing.
TEST(CheckIntegrationTest, ModesThatPlayNothingRefuseARunsOptions) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--check-integration", "--minutes", "5", "--premium"},
       "qvr-sandbox: --minutes: does not apply to --check-integration\n"
       "qvr-sandbox: --premium: does not apply to --check-integration\n"},
      {{"--print-default-config", "--check-integration"},
       "qvr-sandbox: --check-integration: does not apply to --print-default-config\n"},
      {{"--print-default-config", "--config", "mine.json"},
       "qvr-sandbox: --config: does not apply to --print-default-config\n"},
  };
  for (const auto& [arguments, problems] : cases) {
    std::vector<const char*> argv = {"qvr-sandbox"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(SandboxTool::main(static_cast<int>(argv.size()), argv.data(), out, err),
              SandboxTool::kBadInput);
    EXPECT_EQ(err.str(), problems);
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
