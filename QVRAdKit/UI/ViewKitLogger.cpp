#include "QVRAdKit/UI/ViewKitLogger.h"

#include <cstdio>
#include <memory>
#include <string>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit::UI {
namespace {

std::shared_ptr<ViewKitLogger> installedLogger() {
  const Platform::Environment* environment = Platform::Environment::installed();
  return environment ? environment->service<ViewKitLogger>() : nullptr;
}

void writeToStderr(std::string_view level, std::string_view message, std::string_view file,
                   std::string_view function, int line) {
  std::string text;
  text.append(level).append(" ").append(file).append(":").append(std::to_string(line));
  text.append(" ").append(function).append(" ").append(message).append("\n");
  std::fputs(text.c_str(), stderr);
}

}  // namespace

void viewKitWarning(std::string_view message, std::string_view file, std::string_view function,
                    int line) {
  if (auto logger = installedLogger()) {
    logger->warning(message, file, function, line);
  } else {
    writeToStderr("WARNING", message, file, function, line);
  }
}

void viewKitAssertionFailure(std::string_view message, std::string_view file,
                             std::string_view function, int line) {
  if (auto logger = installedLogger()) {
    logger->assertionFailure(message, file, function, line);
  } else {
    writeToStderr("ASSERTION FAILURE", message, file, function, line);
  }
}

}  // namespace QVRAdKit::UI
