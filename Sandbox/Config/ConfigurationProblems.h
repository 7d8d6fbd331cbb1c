#pragma once
// ConfigurationProblems collects what is wrong (errors) and what is legal but almost surely a
// mistake (warnings) in a configuration, each as one line "place: problem", in the order found,
// so a reader can name every problem of a file at once instead of stopping at the first.
// Example:
//   ConfigurationProblems problems;
//   problems.error("interstitial.connect.timeout", "must not be negative, found -5");
//   problems.errors();  // {"interstitial.connect.timeout: must not be negative, found -5"}
// Threading: a value.

#include <set>
#include <string>
#include <vector>

namespace QVRAdKit::Sandbox {

class ConfigurationProblems {
 public:
  // path as ConfigurationPath makes it; "" is the configuration as a whole.
  void error(const std::string& path, const std::string& problem);
  void warning(const std::string& path, const std::string& problem);
  // A problem of the document as a whole, written as it is ("invalid JSON: ...").
  void documentError(const std::string& problem);

  [[nodiscard]] bool hasErrors() const { return !errors_.empty(); }
  // Whether an error was reported at path or at a place inside it ("sources" holds
  // "sources.ironSource"); "" holds every place. Lets a later check stay quiet where its finding
  // would only follow from a fault already reported, so one fault gives one line.
  [[nodiscard]] bool hasErrorWithin(const std::string& path) const;
  // Whether an error was reported at path itself (an unknown field of the object there).
  [[nodiscard]] bool hasErrorAt(const std::string& path) const;
  [[nodiscard]] const std::vector<std::string>& errors() const { return errors_; }
  [[nodiscard]] const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  std::vector<std::string> errors_;
  // The places of the errors, sorted: both questions above are a few lookups, not a scan, so a
  // check that asks once per entry of a large object stays linear in its entries (times a log).
  std::set<std::string, std::less<>> errorPaths_;
  std::vector<std::string> warnings_;
};

}  // namespace QVRAdKit::Sandbox
