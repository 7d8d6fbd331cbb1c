#include "Sandbox/Config/ConfigurationProblems.h"

#include <algorithm>

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
  errorPaths_.push_back(path);
}

bool ConfigurationProblems::hasErrorAt(const std::string& path) const {
  return std::find(errorPaths_.begin(), errorPaths_.end(), path) != errorPaths_.end();
}

bool ConfigurationProblems::hasErrorWithin(const std::string& path) const {
  if (path.empty()) return !errors_.empty();
  for (const std::string& place : errorPaths_) {
    if (place.starts_with(path) &&
        (place.size() == path.size() || place[path.size()] == '.' || place[path.size()] == '[')) {
      return true;
    }
  }
  return false;
}

void ConfigurationProblems::warning(const std::string& path, const std::string& problem) {
  warnings_.push_back(line(path, problem));
}

void ConfigurationProblems::documentError(const std::string& problem) {
  errors_.push_back(oneLine(problem));  // at no place a later check looks at
}

}  // namespace QVRAdKit::Sandbox
