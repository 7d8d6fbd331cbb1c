#include "Sandbox/Config/ConfigurationProblems.h"

#include "Sandbox/Config/ConfigurationPath.h"

namespace QVRAdKit::Sandbox {
namespace {

// One line, whatever the problem text quotes.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string line(const std::string& path, const std::string& problem) {
  return oneLine(ConfigurationPath::display(path) + ": " + problem);
}

}  // namespace

void ConfigurationProblems::error(const std::string& path, const std::string& problem) {
  errors_.push_back(line(path, problem));
}

void ConfigurationProblems::warning(const std::string& path, const std::string& problem) {
  warnings_.push_back(line(path, problem));
}

void ConfigurationProblems::documentError(const std::string& problem) {
  errors_.push_back(oneLine(problem));
}

}  // namespace QVRAdKit::Sandbox
