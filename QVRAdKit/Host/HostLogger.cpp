#include "QVRAdKit/Host/HostLogger.h"

#include <cstdio>
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

}  // namespace

void QVLog(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line) {
  if (auto logger = Platform::Environment::current().service<QVLogger>()) {
    logger->log(flag, message, file, function, line);
    return;
  }
  constexpr std::string_view kLevels[] = {"ERROR", "WARNING", "INFO", "DEBUG", "VERBOSE"};
  writeToStderr(kLevels[position(flag)], message, file, function, line);
}

void QVLogAssertionFailure(std::string_view message, std::string_view file,
                           std::string_view function, int line) {
  if (auto logger = Platform::Environment::current().service<QVLogger>()) {
    logger->assertionFailure(message, file, function, line);
    return;
  }
  writeToStderr("ASSERTION FAILURE", message, file, function, line);
}

}  // namespace QVRAdKit
