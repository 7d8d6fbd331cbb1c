#pragma once
// StandInUnityAdsMetaData answers for the Unity Ads library, to which the consent service hands
// the user's consent flag when Unity Ads serves through mediation: it keeps the last committed
// value of each key. A phone app registers a bridge that commits to the real library instead (or,
// without a Unity Ads adapter, a store that ignores the flag).
// Threading: commit() from any thread.

#include <mutex>

#include "QVRAdKit/SDK/UnityAds/UADSMetaDataStore.h"

namespace ExampleHost {

class StandInUnityAdsMetaData final : public QVRAdKit::UADSMetaDataStore {
 public:
  void commit(const Entries& entries) override {
    const std::lock_guard lock(mutex_);
    for (const auto& [key, value] : entries) values_.insert_or_assign(key, value);
  }

 private:
  std::mutex mutex_;
  Entries values_;
};

}  // namespace ExampleHost
