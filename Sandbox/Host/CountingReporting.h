#pragma once
// CountingReporting is the analytics object the sandbox host hands the ads service: it passes
// every event on to the host's sink and adds up what the session summary reports (all events,
// and the requests, loads and load failures per network, by the "source" parameter).
// Threading: main queue only, like the module's reporters.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QVRAdKit/Host/QVReporting.h"
#include "Sandbox/Host/SandboxHostSummary.h"

namespace QVRAdKit::Sandbox {

class CountingReporting final : public QVReporting {
 public:
  // sink may be null: the events are then only counted.
  explicit CountingReporting(std::shared_ptr<QVReporting> sink) : sink_(std::move(sink)) {}

  void track(const ReportingObject& event) override;

  [[nodiscard]] std::int64_t events() const { return events_; }
  // By name, as the session summary lists them.
  [[nodiscard]] std::map<std::string, SandboxHostSummary::Network> networks() const {
    return {networks_.begin(), networks_.end()};
  }

 private:
  // The counts of the network named, made at its first event.
  SandboxHostSummary::Network& network(std::string_view name);

  std::shared_ptr<QVReporting> sink_;
  std::int64_t events_ = 0;
  // In the order first seen: a session sees two or three, and comparing short names costs less
  // than a walk down a map.
  std::vector<std::pair<std::string, SandboxHostSummary::Network>> networks_;
};

}  // namespace QVRAdKit::Sandbox
