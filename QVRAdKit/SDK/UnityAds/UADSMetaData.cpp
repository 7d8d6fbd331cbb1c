#include "QVRAdKit/SDK/UnityAds/UADSMetaData.h"

#include <utility>

#include "QVRAdKit/Platform/Environment.h"

namespace QVRAdKit {

UADSMetaData::UADSMetaData(const Platform::Environment& environment)
    : store_(environment.service<UADSMetaDataStore>()) {}

void UADSMetaData::set(const std::string& key, UADSMetaDataValue value) {
  entries_.insert_or_assign(key, value);
}

void UADSMetaData::commit() {
  if (store_) store_->commit(entries_);
}

}  // namespace QVRAdKit
