#pragma once
// AdsPauseConfig holds the host's pause switches: per placement, a callback answering whether ads
// of that placement are to be held back right now. The callbacks may read live host state, so
// checkCondition() calls them afresh every time; only the exact placement is consulted.
// An immutable value: copies share the one map, so handing a copy out per check costs no
// allocation. The callbacks are called on the thread that checks (the main queue).
// Example:
//   AdsPauseConfig pause({{AdsPlacement::interstitial(InterstitialAdPlacement::connect),
//                          [host] { return host->isOnboarding(); }}});

#include <functional>
#include <memory>
#include <unordered_map>

#include "QVRAdKit/Config/AdsPlacement.h"

namespace QVRAdKit {

class AdsPauseConfig {
 public:
  using Configs = std::unordered_map<AdsPlacement, std::function<bool()>>;

  explicit AdsPauseConfig(Configs configs);

  // False for an empty map or a placement without a switch (calling nothing); otherwise the
  // switch's current answer. An empty callback answers false.
  [[nodiscard]] bool checkCondition(const AdsPlacement& placement) const;

 private:
  std::shared_ptr<const Configs> configs_;
};

}  // namespace QVRAdKit
