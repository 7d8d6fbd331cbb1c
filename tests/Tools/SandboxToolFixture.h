#pragma once
// SandboxToolFixture runs the qvr-sandbox program in-process, with its standard output and error
// captured (or standard output replaced by a given stream), in a directory of its own that is
// removed afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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

inline std::string contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class SandboxToolFixture : public ::testing::Test {
 protected:
  SandboxToolFixture() { std::filesystem::create_directories(dir); }
  ~SandboxToolFixture() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  [[nodiscard]] std::string file(const std::string& name) const { return (dir / name).string(); }

  // Runs the program; out replaces its standard output when given.
  Outcome run(Lines arguments, std::ostream* out = nullptr) const {
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

  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("qvr-tool-" + std::to_string(std::random_device{}()));
};

}  // namespace QVRAdKit::Sandbox::Testing
