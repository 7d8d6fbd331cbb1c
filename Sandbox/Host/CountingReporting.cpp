#include "Sandbox/Host/CountingReporting.h"

#include <variant>

#include "QVRAdKit/Platform/TextEqual.h"

namespace QVRAdKit::Sandbox {

void CountingReporting::track(const ReportingObject& event) {
  ++events_;
  const bool requested = Platform::TextEqual{}(event.name, "ad_requested");
  const bool loaded = Platform::TextEqual{}(event.name, "ad_loaded");
  if (requested || loaded) {
    const auto* source = event.parameter("source");
    const auto* name = source ? std::get_if<std::string>(source) : nullptr;
    SandboxHostSummary::Network& network =
        this->network(name ? std::string_view(*name) : std::string_view("unknown"));
    if (requested) {
      ++network.requests;
    } else {
      const auto* code = event.parameter("error_code");
      const auto* value = code ? std::get_if<std::int64_t>(code) : nullptr;
      ++(value && *value != 0 ? network.failures : network.loads);
    }
  }
  if (sink_) sink_->track(event);
}

SandboxHostSummary::Network& CountingReporting::network(std::string_view name) {
  for (auto& [seenName, counts] : networks_) {
    if (Platform::TextEqual{}(seenName, name)) return counts;
  }
  return networks_.emplace_back(std::string(name), SandboxHostSummary::Network{}).second;
}

}  // namespace QVRAdKit::Sandbox
