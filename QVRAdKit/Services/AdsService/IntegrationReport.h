#pragma once
// IntegrationReport lists what a host forgot or got wrong when it wired the module: one entry per
// missing or failing piece, with how bad it is, what the module cannot do without it and, in
// plain words, how to fix it. An empty report means nothing was found.
// Example:
//   for (const auto& issue : ads->checkIntegration().issues) std::cerr << issue.text() << "\n";
// Threading: a plain value.

#include <string>
#include <string_view>
#include <vector>

namespace QVRAdKit {

struct IntegrationIssue {
  enum class Severity {
    error,    // the module cannot do part of its job: ads, consent or a pause are lost
    warning,  // the module works, but something is lost quietly (events, images, log lines)
  };
  Severity severity;
  // The piece concerned, a short fixed name ("analytics sink", "storage").
  std::string piece;
  // What goes wrong without it.
  std::string problem;
  // What the host does about it.
  std::string fix;

  // "error: storage: <problem> Fix: <fix>"
  [[nodiscard]] std::string text() const;
  // The same without the severity, for a logger that states the level itself:
  // "storage: <problem> Fix: <fix>"
  [[nodiscard]] std::string message() const;
};

struct IntegrationReport {
  std::vector<IntegrationIssue> issues;

  [[nodiscard]] bool empty() const { return issues.empty(); }
  // The entry for the piece, or nullptr.
  [[nodiscard]] const IntegrationIssue* find(std::string_view piece) const;
  // One line per entry, "integration: nothing missing" when empty.
  [[nodiscard]] std::string text() const;
};

}  // namespace QVRAdKit
