#pragma once
// UADSMetaData is one batch of Unity Ads metadata (for example "gdpr.consent" = true): values are
// collected with set() and handed by commit() to the UADSMetaDataStore registered in the
// environment the batch was made for. Nothing reaches the store before commit().
// Example:
//   UADSMetaData metaData(environment);
//   metaData.set("gdpr.consent", true);
//   metaData.commit();
// Threading: one batch belongs to one thread at a time. The module fills and commits batches on the
// main queue (when it tells the mediators the consent answer), never on the background executor.

#include <memory>
#include <string>

#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"
#include "QVRAdKit/SDK/UnityAds/UADSMetaDataValue.h"

namespace QVRAdKit::Platform {
class Environment;
}  // namespace QVRAdKit::Platform

namespace QVRAdKit {

class UADSMetaData {
 public:
  // Binds the batch to the store registered in environment, if any.
  explicit UADSMetaData(const Platform::Environment& environment);

  // Stores value under key in this batch, replacing an earlier value of the same key.
  void set(const std::string& key, UADSMetaDataValue value);
  // Hands the batch to the store; without a store it is dropped. The batch keeps its entries, so
  // a second commit sends them again.
  void commit();

  [[nodiscard]] const UADSMetaDataStore::Entries& entries() const { return entries_; }

 private:
  std::shared_ptr<UADSMetaDataStore> store_;
  UADSMetaDataStore::Entries entries_;
};

}  // namespace QVRAdKit
