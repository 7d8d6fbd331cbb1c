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
  errorPaths_.insert(path);
}

bool ConfigurationProblems::hasErrorAt(const std::string& path) const {
  return errorPaths_.contains(path);
}

bool ConfigurationProblems::hasErrorWithin(const std::string& path) const {
  if (path.empty()) return !errors_.empty();
  if (errorPaths_.contains(path)) return true;
  // The places inside path start with path and '.' or '['; in sorted order, each kind follows
  // its prefix directly, so the first place not less than the prefix tells.
  for (const char separator : {'.', '['}) {
    const std::string prefix = path + separator;
    const auto next = errorPaths_.lower_bound(prefix);
    if (next != errorPaths_.end() && next->starts_with(prefix)) return true;
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
