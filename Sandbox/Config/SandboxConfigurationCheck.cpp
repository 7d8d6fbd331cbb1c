#include "Sandbox/Config/SandboxConfigurationCheck.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "Sandbox/Config/ConfigurationProblems.h"
#include "Sandbox/Config/SandboxConfigurationReader.h"
#include "Sandbox/Config/SandboxConfigurationRules.h"
#include "Sandbox/Config/StrictJsonParser.h"

namespace QVRAdKit::Sandbox {
namespace {

using ErrorCode = SandboxConfiguration::ErrorCode;

SandboxConfigurationCheck failure(ErrorCode code, std::string line) {
  SandboxConfigurationCheck check;
  check.code = code;
  check.errors.push_back(std::move(line));
  return check;
}

SandboxConfigurationCheck checkText(std::string_view json) {
  ConfigurationProblems problems;
  const auto parsed = StrictJsonParser::parse(json, problems);
  SandboxConfigurationCheck check;
  if (parsed.outcome != StrictJsonParser::Outcome::parsed) {
    check.code = parsed.outcome == StrictJsonParser::Outcome::tooLarge ? ErrorCode::tooLarge
                                                                       : ErrorCode::invalidJson;
    check.errors = problems.errors();
    return check;
  }
  SandboxConfiguration configuration = SandboxConfigurationReader::read(parsed.root, problems);
  SandboxConfigurationRules::check(parsed.root, configuration, problems);
  check.errors = problems.errors();
  check.warnings = problems.warnings();
  if (check.errors.empty()) check.configuration = std::move(configuration);
  return check;
}

}  // namespace

SandboxConfigurationCheck SandboxConfigurationCheck::ofText(std::string_view json) {
  try {
    return checkText(json);
  } catch (const std::exception& error) {
    // Only allocation can throw here; the verdict is still an answer, not an exception.
    return failure(ErrorCode::invalidConfiguration, std::string("configuration: ") + error.what());
  }
}

SandboxConfigurationCheck SandboxConfigurationCheck::ofFile(const std::string& path) {
  const std::string cannotRead = "cannot read the configuration file \"" + path + "\": ";
  std::error_code failed;
  if (std::filesystem::is_directory(path, failed)) {
    return failure(ErrorCode::unreadable, cannotRead + "it is a directory");
  }
  constexpr std::size_t kLimit = StrictJsonParser::kMaxBytes;
  if (std::filesystem::is_regular_file(path, failed)) {
    if (const auto size = std::filesystem::file_size(path, failed); !failed && size > kLimit) {
      return failure(ErrorCode::tooLarge, "the configuration is " + std::to_string(size) +
                                              " bytes, more than the limit of " +
                                              std::to_string(kLimit));
    }
  }
  std::ifstream file(path, std::ios::in | std::ios::binary);
  if (!file.is_open()) return failure(ErrorCode::unreadable, cannotRead + std::strerror(errno));
  // Bounded even for a pipe or a device that never ends.
  std::string content(kLimit + 1, '\0');
  file.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (file.bad()) return failure(ErrorCode::unreadable, cannotRead + std::strerror(errno));
  content.resize(static_cast<std::size_t>(file.gcount()));
  return ofText(content);
}

}  // namespace QVRAdKit::Sandbox
