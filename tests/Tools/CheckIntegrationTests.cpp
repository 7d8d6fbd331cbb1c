// qvr-sandbox --check-integration prints the integration report of the sandbox host's wiring and
// plays no session.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

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

}  // namespace
}  // namespace QVRAdKit::Sandbox
