#include "Sandbox/Logging/StderrLogger.h"

namespace QVRAdKit::Sandbox {

namespace {

constexpr std::string_view kAssertionLabel = "ASSERTION FAILURE";

void appendOnOneLine(std::string& out, std::string_view text) {
  for (char character : text) {
    if (character == '\n') {
      out += "\\n";
    } else if (character == '\r') {
      out += "\\r";
    } else {
      out += character;
    }
  }
}

}  // namespace

StderrLogger::StderrLogger(LogFlag minimumLevel, std::ostream& out)
    : minimumLevel_(minimumLevel), out_(out) {}

std::string_view StderrLogger::levelName(LogFlag flag) {
  switch (flag) {
    case LogFlag::error:
      return "ERROR";
    case LogFlag::warning:
      return "WARNING";
    case LogFlag::info:
      return "INFO";
    case LogFlag::debug:
      return "DEBUG";
    case LogFlag::verbose:
      return "VERBOSE";
  }
  return "UNKNOWN";
}

std::string StderrLogger::format(std::string_view label, std::string_view message,
                                 std::string_view file, std::string_view function, int line) {
  std::string text;
  text.reserve(label.size() + file.size() + function.size() + message.size() + 16);
  text += label;
  text += ' ';
  appendOnOneLine(text, file);
  text += ':';
  text += std::to_string(line);
  text += ' ';
  appendOnOneLine(text, function);
  text += ": ";
  appendOnOneLine(text, message);
  return text;
}

void StderrLogger::log(LogFlag flag, std::string_view message, std::string_view file,
                       std::string_view function, int line) {
  // Lower positions are more severe.
  if (position(flag) > position(minimumLevel_)) return;
  write(format(levelName(flag), message, file, function, line));
}

void StderrLogger::assertionFailure(std::string_view message, std::string_view file,
                                    std::string_view function, int line) {
  write(format(kAssertionLabel, message, file, function, line));
}

void StderrLogger::write(const std::string& text) {
  std::lock_guard lock(mutex_);
  out_ << text << '\n';
  out_.flush();
}

}  // namespace QVRAdKit::Sandbox
