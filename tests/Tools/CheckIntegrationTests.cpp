// qvr-sandbox --check-integration prints the integration report of the sandbox host's wiring and
// plays no session.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox {
namespace {

TEST(CheckIntegrationTest, PrintsWhatTheSandboxHostLacksAndPlaysNothing) {
  const char* argv[] = {"qvr-sandbox", "--check-integration"};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(SandboxTool::main(2, argv, out, err), SandboxTool::kDone) << err.str();
  // The sandbox host shows no banner: it registers neither an analytics sink nor an image loader,
  // and it wires everything the ads need.
  const std::string report = out.str();
  EXPECT_NE(report.find("integration warning: analytics sink: "), std::string::npos) << report;
  EXPECT_NE(report.find("integration warning: image loader: "), std::string::npos) << report;
  EXPECT_EQ(report.find("integration error"), std::string::npos) << report;
  EXPECT_EQ(report.find("Summary"), std::string::npos) << report;  // no session was played
}

}  // namespace
}  // namespace QVRAdKit::Sandbox
