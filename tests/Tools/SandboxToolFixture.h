#pragma once
// SandboxToolFixture runs the qvr-sandbox program in-process, with its standard output and error
// captured (or standard output replaced by a given stream), in a directory of its own that is
// removed afterwards.

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "Support/TemporaryDirectory.h"
#include "tools/SandboxTool.h"

namespace QVRAdKit::Sandbox::Testing {

using Lines = std::vector<std::string>;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

inline Lines lines(const std::string& text) {
  Lines result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) result.push_back(line);
  return result;
}

using QVRAdKit::Testing::contents;

class SandboxToolFixture : public ::testing::Test, public QVRAdKit::Testing::TemporaryDirectory {
 protected:
  SandboxToolFixture() : TemporaryDirectory("qvr-tool-") {}

  // Runs the program; out replaces its standard output when given.
  static Outcome run(Lines arguments, std::ostream* out = nullptr) {
    arguments.insert(arguments.begin(), "qvr-sandbox");
    std::vector<const char*> argv;
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    std::ostringstream captured;
    std::ostringstream err;
    Outcome outcome;
    outcome.code =
        SandboxTool::main(static_cast<int>(argv.size()), argv.data(), out ? *out : captured, err);
    outcome.out = captured.str();
    outcome.err = err.str();
    return outcome;
  }
};

}  // namespace QVRAdKit::Sandbox::Testing
