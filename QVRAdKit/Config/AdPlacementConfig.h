#pragma once
// AdPlacementConfig says how one placement is served: its ad-unit keys in preference order (AdMob
// ad-unit identifiers or IronSource placement names; may be empty), the network that serves them
// and a timeout in seconds (for an interstitial placement the least time between two grants; for
// the app-open placement main the value the host reads as appOpenAdTimeout). Immutable value.
// Example: auto connect = AdPlacementConfig({"unit-a", "unit-b"}, AdSource::adMob, 600);

#include <string>
#include <utility>
#include <vector>

#include "QVRAdKit/Config/AdSource.h"
#include "QVRAdKit/Platform/Date.h"

namespace QVRAdKit {

class AdPlacementConfig {
 public:
  AdPlacementConfig(std::vector<std::string> keys, AdSource source, Platform::TimeInterval timeout)
      : keys_(std::move(keys)), source_(source), timeout_(timeout) {}

  // Source adMob, timeout 0.
  [[nodiscard]] static AdPlacementConfig adMob(std::vector<std::string> keys) {
    return AdPlacementConfig(std::move(keys), AdSource::adMob, 0);
  }
  // Source ironSource, timeout 0.
  [[nodiscard]] static AdPlacementConfig ironSource(std::vector<std::string> keys) {
    return AdPlacementConfig(std::move(keys), AdSource::ironSource, 0);
  }

  [[nodiscard]] const std::vector<std::string>& keys() const { return keys_; }
  [[nodiscard]] AdSource source() const { return source_; }
  [[nodiscard]] Platform::TimeInterval timeout() const { return timeout_; }

 private:
  std::vector<std::string> keys_;
  AdSource source_;
  Platform::TimeInterval timeout_;
};

}  // namespace QVRAdKit
