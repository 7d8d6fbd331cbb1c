#pragma once
// SandboxConfigurationCheck is the full verdict on a configuration text or file: every error and
// every warning, each one line naming its place ("interstitial.connect.keys[2]: duplicate key
// \"x\""), and the configuration when there is no error. Errors: what the ads module or the
// simulators cannot use (bad JSON, a field named twice, wrong types, unknown names, numbers out of
// range, a placement whose network is not configured, IronSource without an application key, a
// key listed twice in a placement, input beyond the size and nesting bounds of StrictJsonParser).
// Warnings: what is legal but almost surely a mistake (a placement without keys, simulation
// entries for keys no placement uses, ...). A host tool lists them all before running anything.
// Example:
//   auto check = SandboxConfigurationCheck::ofFile("host.json");
//   for (const auto& line : check.warnings) std::cerr << "warning: " << line << '\n';
//   if (!check.configuration) { for (const auto& line : check.errors) ...; return 2; }
// Threading: a value; ofText() and ofFile() are pure functions of their input.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Sandbox/Config/SandboxConfiguration.h"

namespace QVRAdKit::Sandbox {

struct SandboxConfigurationCheck {
  // Set exactly when errors is empty.
  std::optional<SandboxConfiguration> configuration;
  // The kind of the first error (unreadable, invalidJson, invalidConfiguration, tooLarge).
  SandboxConfiguration::ErrorCode code = SandboxConfiguration::ErrorCode::invalidConfiguration;
  std::vector<std::string> errors;
  std::vector<std::string> warnings;

  [[nodiscard]] static SandboxConfigurationCheck ofText(std::string_view json);
  // Reads at most StrictJsonParser::kMaxBytes (plus one, to tell a larger file); a larger regular
  // file is refused by its size without being read. Lines do not repeat the path, except those of
  // a file that cannot be read (code unreadable).
  [[nodiscard]] static SandboxConfigurationCheck ofFile(const std::string& path);
};

}  // namespace QVRAdKit::Sandbox
