#include "QVRAdKit/Config/AdsPauseConfig.h"

#include <utility>

namespace QVRAdKit {

AdsPauseConfig::AdsPauseConfig(Configs configs)
    : configs_(std::make_shared<const Configs>(std::move(configs))) {}

bool AdsPauseConfig::checkCondition(const AdsPlacement& placement) const {
  if (configs_->empty()) return false;
  const auto entry = configs_->find(placement);
  if (entry == configs_->end()) return false;
  // A switch given without a callable holds nothing back rather than throwing bad_function_call.
  return entry->second ? entry->second() : false;
}

}  // namespace QVRAdKit
