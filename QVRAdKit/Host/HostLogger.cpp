#include "QVRAdKit/Host/HostLogger.h"

#include <cstdio>
#include <memory>
#include <string>

#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {
namespace {

void writeToStderr(std::string_view level, std::string_view message, std::string_view file,
                   std::string_view function, int line) {
  std::string text;
  text.reserve(message.size() + file.size() + function.size() + 32);
  text.append(level).append(" ").append(file).append(":").append(std::to_string(line));
  text.append(" ").append(function).append(" ").append(message).append("\n");
  std::fputs(text.c_str(), stderr);
}

// The logger of the installed environment; none without an environment, so that logging never
// trips the missing-environment error itself.
std::shared_ptr<QVLogger> installedLogger() {
  const Platform::Environment* environment = Platform::Environment::installed();
  return environment ? environment->service<QVLogger>() : nullptr;
}

}  // namespace

void QVLog(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line) {
  if (auto logger = installedLogger()) {
    logger->log(flag, message, file, function, line);
    return;
  }
  constexpr std::string_view kLevels[] = {"ERROR", "WARNING", "INFO", "DEBUG", "VERBOSE"};
  writeToStderr(kLevels[position(flag)], message, file, function, line);
}

void QVLogAssertionFailure(std::string_view message, std::string_view file,
                           std::string_view function, int line) {
  if (auto logger = installedLogger()) {
    logger->assertionFailure(message, file, function, line);
    return;
  }
  writeToStderr("ASSERTION FAILURE", message, file, function, line);
}

}  // namespace QVRAdKit
