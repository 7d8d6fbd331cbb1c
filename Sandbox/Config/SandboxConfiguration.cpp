#include "Sandbox/Config/SandboxConfiguration.h"

#include <utility>

#include "Sandbox/Config/DefaultSandboxConfiguration.h"
#include "Sandbox/Config/SandboxConfigurationCheck.h"

namespace QVRAdKit::Sandbox {
namespace {

// The check's verdict as one Error line: the first problem, and how many more there are.
Platform::Expected<SandboxConfiguration> verdict(SandboxConfigurationCheck check,
                                                 const std::string& prefix) {
  if (check.configuration) return std::move(*check.configuration);
  std::string text = prefix + check.errors.front();
  if (const auto more = check.errors.size() - 1; more > 0) {
    text += " (and " + std::to_string(more) + (more == 1 ? " more problem)" : " more problems)");
  }
  return Platform::Error{std::string(SandboxConfiguration::kErrorDomain),
                         static_cast<std::int64_t>(check.code), std::move(text)};
}

}  // namespace

Platform::Expected<SandboxConfiguration> SandboxConfiguration::parse(std::string_view json) {
  return verdict(SandboxConfigurationCheck::ofText(json), "");
}

Platform::Expected<SandboxConfiguration> SandboxConfiguration::load(const std::string& path) {
  auto check = SandboxConfigurationCheck::ofFile(path);
  // A file that cannot be read is named by its own message.
  const bool named = check.code == ErrorCode::unreadable;
  return verdict(std::move(check), named ? "" : path + ": ");
}

SandboxConfiguration SandboxConfiguration::defaults() {
  // Parsed once per process: every SandboxHostOptions starts from it, and repeated trials make
  // many of those.
  static const SandboxConfiguration parsedOnce = [] {
    auto parsed = parse(kDefaultSandboxConfigurationJson);
    // The embedded text is checked by the tests; a broken one falls back to the simulators' own
    // defaults with no placements rather than stopping the host.
    if (!parsed) return SandboxConfiguration{};
    return std::move(parsed).value();
  }();
  return parsedOnce;
}

}  // namespace QVRAdKit::Sandbox
